#pragma once

// The document side that saving and printing work on, as the window has it: work folders,
// the WWP decoder (its converter fallback switched off), the article tree and page display.
#include "articles/articletree.h"
#include "articles/wwp.h"
#include "pageview/pagedisplay.h"
#include "platform/workfolders.h"

#include "zipfixture.h"

#include <QDir>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

namespace qen::test {

struct ExportWorld {
    QTemporaryDir dir;
    WorkFolders folders{dir.filePath("root"), dir.filePath("app")};
    WwpDecoder decoder{folders};
    ArticleTree tree;
    PageDisplay display{tree, folders, decoder};

    ExportWorld() {
        folders.prepareAtStartup();
        decoder.setConverterCommand("false");
    }

    // A package of G4 pages in a folder "src", selected at its first page.
    int g4Package(const QStringList &names) {
        const QString src = dir.filePath("src");
        QDir().mkpath(src);
        for (const QString &name : names)
            fixture::writeAll(src + '/' + name, fixture::g4Tiff());
        const int package = tree.addPackage(src + "/a.qen", "文章", src, names);
        tree.select(package + 1);
        return package;
    }
};

// A full disk, as far as this process can tell: while it lives, writing a file past `bytes`
// fails with EFBIG instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    struct rlimit m_old;
    void (*m_handler)(int);
};

} // namespace qen::test
