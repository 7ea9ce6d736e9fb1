#pragma once

// A main window on a work root of its own, with scripted dialogs: what a widget test of the
// whole window starts from. `Ui` may be a ScriptedInteraction that does more (the real
// clipboard as well, say).
#include "scriptedinteraction.h"
#include "shell/ui/mainwindow.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace qen::test {

// Loaded runs the window's start-up as the program does; Shown leaves it to the test.
enum class WindowStart { Loaded, Shown };

template <typename Ui = ScriptedInteraction> struct BasicWindowFixture {
    explicit BasicWindowFixture(WindowStart start = WindowStart::Loaded) {
        // Recognised pages are kept under the test's folder, not the user's cache.
        qputenv("XDG_CACHE_HOME", dir.filePath("cache").toUtf8());
        window = std::make_unique<MainWindow>(
            WorkFolders(dir.filePath("QenInfo"), dir.filePath("prog")), ui);
        window->show();
        exposed = QTest::qWaitForWindowExposed(window.get());
        if (start == WindowStart::Loaded)
            window->Form_Load(QString());
    }
    ~BasicWindowFixture() { window.reset(); } // before the dialogs it answers with

    // Writes a file in the test's folder and returns its path.
    QString make(const QString &name, const QByteArray &bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return path;
    }

    QTemporaryDir dir;
    Ui ui;
    std::unique_ptr<MainWindow> window;
    bool exposed = false;
};

using WindowFixture = BasicWindowFixture<>;

} // namespace qen::test
