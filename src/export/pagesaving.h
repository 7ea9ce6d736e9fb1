#pragma once

#include "articles/imagedocument.h"
#include "export/exportnames.h"
#include "pageview/pagedisplay.h"

#include <QString>
#include <QStringList>

namespace qen {

class ArticleTree;

// Names the current-page save writes under. Each is decided in full before the user is
// asked whether to replace an existing file, so the question is about the file written.
namespace savenames {

// Whether the file name (not the folders above it: /home/a.b/page has none) has an extension.
bool hasExtension(const QString &path);

// The image save type (3 GIF, 4 TIFF, 5 BMP, 8 JPEG) for a chosen name; a name whose
// extension is none of these is written as TIFF under the name with ".tif" appended
// (x.png becomes x.png.tif), which *target receives.
ImageFileType imageSaveType(const QString &chosen, QString *target);

// Whether a record is written as rich text (the name ends in .rtf) rather than plain text.
bool savesAsRtf(const QString &path);

} // namespace savenames

// Copies the pages of one article, or of every article, into a folder the user chose. Page
// files are copied as they are (a WWP page as the TIFF the page display decodes it to), so a
// saved page is byte for byte the page that was opened.
//
// Nothing is written outside the chosen folder: article folders are named after titles made
// safe as one path component, and within one run no file or folder is written twice under
// one name (a later one gets "name (2)").
class ArticleSaver {
public:
    struct Outcome {
        int saved = 0;
        // "file: reason" for each page left out (a page file that disappeared, a WWP page
        // that could not be decoded); the walk goes on past these.
        QStringList skipped;
    };

    ArticleSaver(ArticleTree &tree, PageDisplay &display);

    // The article's pages under their own file names, in a folder named after the article.
    // Throws qen::Error, naming the file, when the target cannot be written (a full disk, a
    // read-only folder); the pages written before stay, and outcome() tells how far it got.
    const Outcome &saveArticle(int article, const QString &folder);
    // Every article: single files directly in the folder, each package in a folder of its
    // own with its pages numbered 1, 2, ... keeping each page's own extension.
    const Outcome &saveAll(const QString &folder);
    const Outcome &outcome() const { return m_outcome; }

    // The fallback folder name of an article whose title cannot name a folder.
    static QString fallbackFolderName(const QString &packageKey);

private:
    QString makeFolder(const QString &parent, const QString &title, const QString &fallback,
                       exportnames::NameClaims &claims);
    // The page's file, decoded as showing it would be; a page that cannot be decoded is
    // noted as left out.
    PageDisplay::PageFile pageFile(int page);
    void savePage(const PageDisplay::PageFile &file, const QString &folder, const QString &name,
                  exportnames::NameClaims &claims);
    void checkFolder(const QString &folder) const;
    // The page name in a numbered package folder: "3.tif", "3.jpg".
    static QString numberedName(int number, const QString &pagePath);

    ArticleTree &m_tree;
    PageDisplay &m_display;
    Outcome m_outcome;
};

} // namespace qen
