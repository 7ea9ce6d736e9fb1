#include "tool/commands.h"

#include <cstdio>

namespace qen::tool {

int errorExit(const QString &message) {
    std::fprintf(stderr, "qentool: %s\n", qPrintable(message));
    return 2;
}

} // namespace qen::tool
