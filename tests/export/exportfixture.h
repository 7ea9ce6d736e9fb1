#pragma once

// The document side that saving and printing work on, as the window has it: work folders,
// the WWP decoder (its converter fallback switched off), the article tree and page display.
#include "library/articletree.h"
#include "library/pagedisplay.h"
#include "library/wwp.h"
#include "platform/workfolders.h"

#include "../library/zipfixture.h"

#include <QDir>
#include <QTemporaryDir>

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

} // namespace qen::test
