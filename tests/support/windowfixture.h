#pragma once

// A main window on a work root of its own, with scripted dialogs: what a widget test of the
// whole window starts from. `Ui` may be a ScriptedInteraction that does more (the real
// clipboard as well, say).
#include "scriptedinteraction.h"
#include "shell/ui/mainwindow.h"
#include "zipfixture.h"

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

    // A package in the test's folder holding `pages`, its comment the title in GBK.
    QString package(const QString &name, const QString &title,
                    const std::vector<fixture::Entry> &pages) {
        const QString path = dir.filePath(name);
        return fixture::writeZip(path, pages, fixture::gbk(title)) ? path : QString();
    }

    // A package of `count` G4 pages p1.tif, p2.tif, ..., stored last page first so that only
    // their names put them in order; page i is `size` widened by i pixels.
    QString package(const QString &name, const QString &title, int count, QSize size = {300, 400}) {
        std::vector<fixture::Entry> pages;
        for (int i = count; i >= 1; --i)
            pages.push_back(fixture::file(QStringLiteral("p%1.tif").arg(i).toLatin1(),
                                          fixture::g4Tiff(size.width() + i, size.height())));
        return package(name, title, pages);
    }

    QAction *command(const QString &name) const { return window->command(name); }

    QTemporaryDir dir;
    Ui ui;
    std::unique_ptr<MainWindow> window;
    bool exposed = false;
};

using WindowFixture = BasicWindowFixture<>;

} // namespace qen::test
