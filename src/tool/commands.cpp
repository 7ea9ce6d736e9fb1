#include "tool/commands.h"

#include <cstdio>
#include <iterator>

namespace qen::tool {

int runFilter(const QStringList &args);

namespace {

// Commands are added here as the subsystems behind them land.
const Command Commands[] = {
    {"version", "version                 print the program version",
     [](const QStringList &) {
         std::fputs("Qen Browser 3.0\n", stdout);
         return 0;
     }},
    {"filter", "filter RECORD [--options FILE]  print the record as the field filter writes it",
     runFilter},
};

} // namespace

int errorExit(const QString &message) {
    std::fprintf(stderr, "qentool: %s\n", qPrintable(message));
    return 2;
}

QString usage() {
    QString text = QStringLiteral("usage: qentool COMMAND [ARGS]\n\ncommands:\n");
    for (const Command &c : Commands)
        text += QStringLiteral("  %1\n").arg(QString::fromUtf8(c.synopsis));
    return text;
}

int run(const QString &name, const QStringList &args) {
    for (const Command &c : Commands) {
        if (name == QLatin1String(c.name))
            return c.run(args);
    }
    return errorExit(QStringLiteral("unknown command '%1' (see qentool --help)").arg(name));
}

} // namespace qen::tool
