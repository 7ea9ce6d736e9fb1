#pragma once

// A main window on a work root of its own, loaded as at start-up, with scripted dialogs:
// what a widget test of the whole window starts from.
#include "scriptedinteraction.h"
#include "shell/ui/mainwindow.h"

#include <QFile>
#include <QTemporaryDir>
#include <memory>

namespace qen::test {

struct WindowFixture {
    WindowFixture() {
        window = std::make_unique<MainWindow>(
            WorkFolders(dir.filePath("QenInfo"), dir.filePath("prog")), ui);
        window->show();
        window->Form_Load(QString());
    }
    ~WindowFixture() { window.reset(); } // before the dialogs it answers with

    // Writes a file in the test's folder and returns its path.
    QString make(const QString &name, const QByteArray &bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return path;
    }

    QTemporaryDir dir;
    ScriptedInteraction ui;
    std::unique_ptr<MainWindow> window;
};

} // namespace qen::test
