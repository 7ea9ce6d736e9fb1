// qentool: the command-line companion. This executable loads Qt Core alone. `topdf` on pages
// whose stored data goes into the PDF as it is runs here; every other command, and a topdf
// job that has pages to decode, runs in the full tool, a library loaded on demand that links
// the whole core: loading Qt Gui's libraries takes longer than converting an article, and
// scripts that convert page by page start the tool once per page.
#include "tool/commands.h"
#include "tool/fulltool.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstring>

int main(int argc, char *argv[]) {
    if (argc > 1 && std::strcmp(argv[1], "topdf") == 0) {
        QStringList args;
        for (int i = 2; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        try {
            return qen::tool::runToPdf(args, qen::tool::storedPageSource());
        } catch (const qen::tool::NeedsDecoder &) {
            // Nothing was written; the full tool starts the job afresh.
        }
    }
    QCoreApplication app(argc, argv);
    return qen::tool::runFullTool(argc, argv);
}
