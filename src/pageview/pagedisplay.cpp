#include "pageview/pagedisplay.h"

#include "articles/articletree.h"
#include "articles/package.h"
#include "articles/wwp.h"
#include "platform/filehelpers.h"
#include "platform/workfolders.h"

#include <QFile>

namespace qen {

QString StatusText(const ArticleTree &tree, int index) {
    const int parent = tree.parent(index);
    if (!parent)
        return tree.text(index);
    return tree.text(parent) + QLatin1Char(':') + tree.text(index);
}

bool IsImageType(const QString &pageType) {
    return pageType == QLatin1String("TIF") || pageType == QLatin1String("JPG") ||
           pageType == QLatin1String("GIF") || pageType == QLatin1String("BMP");
}

PageDisplay::PageDisplay(ArticleTree &tree, const WorkFolders &folders, const WwpDecoder &decoder)
    : m_tree(tree), m_folders(folders), m_decoder(decoder) {}

QString PageDisplay::decodedPath(int index, const QString &key) const {
    QString fileName, folder;
    SplitPath(key, fileName, folder);
    const QString tiffName = fileName.left(fileName.size() - 3) + QStringLiteral("tif");
    // A single WWP file gets a work folder of its own; a page decodes beside itself.
    if (!m_tree.parent(index))
        return GetWorkFolder(m_folders, fileName) + QLatin1Char('/') + tiffName;
    const QString beside = folder + QLatin1Char('/') + tiffName;
    // A package may hold p1.wwp and p1.tif side by side; decoding beside would overwrite
    // the other page, so that decoded page goes into a folder of its own.
    const int owner = m_tree.find(beside);
    if (owner && owner != index)
        return GetWorkFolder(m_folders, fileName) + QLatin1Char('/') + tiffName;
    return beside;
}

PageDisplay::PageFile PageDisplay::pageFile(int index) {
    PageFile page;
    const QString key = m_tree.key(index);
    page.path = key;
    if (m_tree.pageType(index) != QLatin1String("WWP"))
        return page;
    QString fileName, folder;
    SplitPath(key, fileName, folder);
    if (fileName.size() < 3) {
        // No TIFF name can be made from it; the reader of the file reports it.
        return page;
    }
    const QString tiff = decodedPath(index, key);
    if (QFile::exists(tiff)) {
        MakeWritable(tiff);
        QFile::remove(tiff);
    }
    page.decoded = true;
    page.ok = m_decoder.WwpToTiff(key, tiff);
    m_tree.setKey(index, tiff);
    page.path = tiff;
    return page;
}

DisplayPlan PageDisplay::show(int index) {
    DisplayPlan plan;
    if (!m_tree.isValid(index))
        return plan;
    m_tree.select(index);
    plan.node = index;
    plan.statusText = StatusText(m_tree, index);
    const QString type = m_tree.pageType(index);
    const QString key = m_tree.key(index);

    if (type == QLatin1String("WWP")) {
        const PageFile page = pageFile(index);
        plan.decoded = page.decoded;
        plan.decodeOk = page.decoded && page.ok;
        plan.view = DisplayPlan::View::Image;
        plan.path = page.path;
    } else if (IsImageType(type)) {
        plan.view = DisplayPlan::View::Image;
        plan.path = key;
    } else if (type == QLatin1String("RTF") || type == QLatin1String("TXT") ||
               type == QLatin1String("WP")) {
        plan.view = DisplayPlan::View::Record;
        plan.path = key;
    } else if (type.isEmpty() || type == QLatin1String("QEN") || type == QLatin1String("ZIP")) {
        const int first = m_tree.firstChild(index);
        if (first)
            return show(first);
    }
    return plan;
}

} // namespace qen
