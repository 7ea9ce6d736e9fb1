#pragma once

#include <QString>
#include <QStringList>

namespace qen::tool {

// Each command writes its results to standard output and its errors to standard error;
// it returns the process exit status (2 on any error).
struct Command {
    const char *name;
    const char *synopsis;
    int (*run)(const QStringList &args);
};

QString usage();
int run(const QString &name, const QStringList &args);

int errorExit(const QString &message);

} // namespace qen::tool
