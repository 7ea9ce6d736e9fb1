#pragma once

// The full command-line tool lives in a library of its own (libqentoolcommands.so), so that
// the quick path never loads what it does not use.
#define QEN_TOOL_ENTRY "qentool_main"

namespace qen::tool {

// The full tool's entry: runs the command line as qentool always has. A QCoreApplication
// must exist.
using FullToolEntry = int (*)(int argc, char **argv);

// Loads the full tool from beside the executable or the installed library folder and runs
// the command line in it; exit status 2 with a message naming the places looked in when it
// cannot be loaded.
int runFullTool(int argc, char **argv);

} // namespace qen::tool
