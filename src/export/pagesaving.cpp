#include "export/pagesaving.h"

#include "articles/articletree.h"
#include "pageview/pagedisplay.h"
#include "platform/error.h"
#include "platform/errortext.h"
#include "platform/filehelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace qen {

namespace savenames {

bool hasExtension(const QString &path) {
    return !GetFileExt(QFileInfo(path).fileName()).isEmpty();
}

ImageFileType imageSaveType(const QString &chosen, QString *target) {
    const QString ext = hasExtension(chosen) ? GetFileExt(chosen).toUpper() : QString();
    *target = chosen;
    if (ext == u"TIF" || ext == u"TIFF")
        return ImageFileType::Tiff;
    if (ext == u"BMP")
        return ImageFileType::Bmp;
    if (ext == u"JPG" || ext == u"JPEG")
        return ImageFileType::Jpeg;
    if (ext == u"GIF")
        return ImageFileType::Gif;
    *target = chosen + QStringLiteral(".tif");
    return ImageFileType::Tiff;
}

bool savesAsRtf(const QString &path) {
    return hasExtension(path) && GetFileExt(path).toUpper() == u"RTF";
}

} // namespace savenames

namespace {

enum class Entry { None, Folder, Other };

// What is at a path, without following a symbolic link: a link to a folder elsewhere is not
// a folder we may write into.
Entry entryAt(const QString &path) {
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return Entry::None;
    return S_ISDIR(st.st_mode) ? Entry::Folder : Entry::Other;
}

} // namespace

ArticleSaver::ArticleSaver(ArticleTree &tree, PageDisplay &display)
    : m_tree(tree), m_display(display) {}

QString ArticleSaver::fallbackFolderName(const QString &packageKey) {
    return exportnames::safeComponent(GetBaseName(packageKey), QStringLiteral("未命名文章"));
}

void ArticleSaver::checkFolder(const QString &folder) const {
    if (!FolderExists(folder))
        throw Error(QStringLiteral("无法保存到文件夹 %1：文件夹不存在。").arg(folder));
}

QString ArticleSaver::makeFolder(const QString &parent, const QString &title,
                                 const QString &fallback, exportnames::NameClaims &claims) {
    const QString base = exportnames::safeComponent(title, fallback);
    const QDir dir(parent);
    for (;;) {
        const QString path = dir.filePath(claims.claim(base));
        const Entry there = entryAt(path);
        // An existing folder of that name is used as it is; a file or link there keeps
        // its name, and the article takes the next one.
        if (there == Entry::Folder)
            return path;
        if (there == Entry::Other)
            continue;
        if (CreateFolder(path, FolderAccess::AsUmask))
            return path;
        throw Error(QStringLiteral("无法创建文件夹 %1：%2").arg(path, SystemErrorText(errno)));
    }
}

PageDisplay::PageFile ArticleSaver::pageFile(int page) {
    const QString key = m_tree.key(page);
    PageDisplay::PageFile file = m_display.pageFile(page);
    if (!file.ok)
        m_outcome.skipped << QStringLiteral("%1：无法解码这个 WWP 页面").arg(key);
    return file;
}

void ArticleSaver::savePage(const PageDisplay::PageFile &file, const QString &folder,
                            const QString &name, exportnames::NameClaims &claims) {
    if (!file.ok)
        return;
    if (!FileExists(file.path)) {
        m_outcome.skipped << QStringLiteral("%1：文件不存在").arg(file.path);
        return;
    }
    const QString wanted = name.isEmpty() ? QFileInfo(file.path).fileName() : name;
    const QDir dir(folder);
    QString target;
    // A folder of that name stays; the page takes the next free name beside it.
    do
        target = dir.filePath(claims.claim(wanted));
    while (entryAt(target) == Entry::Folder);
    CopyFile(file.path, target, true, true);
    ++m_outcome.saved;
}

QString ArticleSaver::numberedName(int number, const QString &pagePath) {
    const QString ext =
        savenames::hasExtension(pagePath) ? GetFileExt(pagePath).toLower() : QString();
    return ext.isEmpty() ? QString::number(number) : QStringLiteral("%1.%2").arg(number).arg(ext);
}

const ArticleSaver::Outcome &ArticleSaver::saveArticle(int article, const QString &folder) {
    m_outcome = {};
    checkFolder(folder);
    exportnames::NameClaims folders, pages;
    const QString target =
        makeFolder(folder, m_tree.text(article), fallbackFolderName(m_tree.key(article)), folders);
    for (const int page : m_tree.children(article))
        savePage(pageFile(page), target, QString(), pages);
    return m_outcome;
}

const ArticleSaver::Outcome &ArticleSaver::saveAll(const QString &folder) {
    m_outcome = {};
    checkFolder(folder);
    // Single files and package folders share the chosen folder, and so its names.
    exportnames::NameClaims top;
    for (const int root : m_tree.roots()) {
        const QList<int> pages = m_tree.children(root);
        if (pages.isEmpty()) {
            savePage(pageFile(root), folder, QString(), top);
            continue;
        }
        const QString target =
            makeFolder(folder, m_tree.text(root), fallbackFolderName(m_tree.key(root)), top);
        exportnames::NameClaims inside;
        int number = 1;
        for (const int page : pages) {
            // The page file's extension is known only once a WWP page is decoded.
            const PageDisplay::PageFile file = pageFile(page);
            savePage(file, target, numberedName(number++, file.path), inside);
        }
    }
    return m_outcome;
}

} // namespace qen
