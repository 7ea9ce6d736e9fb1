// qentool: the command-line companion. This executable loads Qt Core alone. `topdf` on pages
// whose stored data goes into the PDF as it is runs here; every other command, and a topdf
// job that has pages to decode, runs in the full tool, a library loaded on demand that links
// the whole core: loading Qt Gui's libraries takes longer than converting an article, and
// scripts that convert page by page start the tool once per page.
#include "tool/commands.h"
#include "tool/fulltool.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>

namespace {

// Ends the process once the job is done and its output flushed, without the destructors of
// static objects: they only hand memory back to a process that is going away, and the
// engine's models alone took longer to free than a command's own work on a small area.
// Every file a command writes is complete before the command returns.
[[noreturn]] void endProcess(int status) {
    const bool flushed = std::fflush(nullptr) == 0;
    std::_Exit(flushed ? status : 2);
}

} // namespace

int main(int argc, char *argv[]) {
    if (argc > 1 && std::strcmp(argv[1], "topdf") == 0) {
        // Page after page, the job takes and frees blocks of the same sizes. By default the
        // allocator hands blocks over 128 KB and the free top of the heap back to the system
        // at once, and the next page then faults the same memory in again: that was a sixth
        // of writing an article's text. The process is short, and what it holds at most is a
        // page or two.
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
        mallopt(M_TRIM_THRESHOLD, 64 << 20);
        QStringList args;
        for (int i = 2; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        try {
            endProcess(qen::tool::runToPdf(args, qen::tool::storedPageSource()));
        } catch (const qen::tool::NeedsDecoder &) {
            // Nothing was written; the full tool starts the job afresh.
        }
    }
    QCoreApplication app(argc, argv);
    endProcess(qen::tool::runFullTool(argc, argv));
}
