// qentool: the command-line companion. It links the core library only, so it runs the same
// code paths as the program without a display.
#include "tool/commands.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char *argv[]) {
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
