// qentool: the command-line companion. It links the core library only, so it runs the same
// code paths as the program without a display.
#include "tool/commands.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>

int main(int argc, char *argv[]) {
    // topdf needs no event loop, and the application object is a quarter of a short run's
    // time: scripts that convert page by page start it once per page.
    if (argc > 1 && std::strcmp(argv[1], "topdf") == 0) {
        QStringList args;
        for (int i = 2; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        return qen::tool::run(QStringLiteral("topdf"), args);
    }
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const QString command = args.value(0);
    if (command.isEmpty() || command == QLatin1String("--help") || command == QLatin1String("-h")) {
        std::fputs(qPrintable(qen::tool::usage()), stdout);
        return command.isEmpty() ? 2 : 0;
    }
    if (command == QLatin1String("--version") || command == QLatin1String("-V")) {
        std::fputs(qPrintable(qen::tool::versionText()), stdout);
        return 0;
    }
    args.removeFirst();
    return qen::tool::run(command, args);
}
