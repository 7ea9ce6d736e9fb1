#pragma once

#include <QStringList>

namespace qen::tool {

// qentool info FILE [--json]: the cleaned title, then the pages in tree order.
int runInfo(const QStringList &args);
// qentool extract FILE DIR: unpacks a package with the program's safety rules.
int runExtract(const QStringList &args);

} // namespace qen::tool
