#include "export/pdfexport.h"

#include "articles/articletree.h"
#include "export/exportnames.h"
#include "export/pdfwriter.h"
#include "pageview/pagedisplay.h"
#include "platform/error.h"
#include "platform/errortext.h"
#include "platform/filehelpers.h"

#include <QFileInfo>
#include <QHash>
#include <memory>

namespace qen::pdfexport {

Staging::Staging(const QString &parent) : m_dir(parent + QStringLiteral("/pdf-XXXXXX")) {
    if (!m_dir.isValid())
        throw Error(QStringLiteral("无法在 %1 中建立存放PDF页面的临时文件夹：%2")
                        .arg(parent, LibraryErrorText(m_dir.errorString())));
}

void Staging::add(const QString &pageFile) {
    const QString ext = QFileInfo(pageFile).suffix().toLower();
    const QString name = QStringLiteral("%1.%2")
                             .arg(m_files.size() + 1, 5, 10, QLatin1Char('0'))
                             .arg(ext.isEmpty() ? QStringLiteral("img") : ext);
    const QString target = m_dir.filePath(name);
    CopyFile(pageFile, target, false);
    m_files.append(target);
}

PdfExport::PdfExport(ArticleTree &tree, PageDisplay &display, QString stagingParent)
    : m_tree(tree), m_display(display), m_stagingParent(std::move(stagingParent)) {}

QList<int> PdfExport::currentPage() const {
    const int node = m_tree.selected();
    if (!m_tree.isValid(node))
        return {};
    // A package node stands for its first page, as showing it does.
    const int first = m_tree.firstChild(node);
    return {first ? first : node};
}

QList<int> PdfExport::currentArticle() const {
    const int article = m_tree.currentArticle();
    return m_tree.isValid(article) ? pagesOf(article) : QList<int>{};
}

QList<int> PdfExport::pagesOf(int root) const {
    const QList<int> children = m_tree.children(root);
    return children.isEmpty() ? QList<int>{root} : children;
}

QString PdfExport::titleOf(int node) const {
    const int parent = m_tree.parent(node);
    return m_tree.text(parent ? parent : node);
}

Outcome PdfExport::exportPages(const QList<int> &pages, const QString &title, const QString &target,
                               bool skipOthers, const PageTextSource &text) {
    Staging staging(m_stagingParent);
    QList<pdf::PageText> texts;
    for (const int page : pages) {
        if (!pdf::IsPdfPageType(m_tree.pageType(page))) {
            if (skipOthers)
                continue;
            return {Outcome::Unsupported, {}};
        }
        const PageDisplay::PageFile file = m_display.pageFile(page);
        // A page left out would give a PDF that looks complete and is not.
        if (!file.ok)
            throw Error(QStringLiteral("无法解码 WWP 页面 %1（%2）")
                            .arg(m_tree.key(page), m_tree.text(page)));
        staging.add(file.path);
        if (text) {
            try {
                texts << text(page, file.path);
            } catch (const Cancelled &) {
                return {Outcome::Cancelled, {}};
            }
        }
    }
    if (staging.isEmpty())
        return {Outcome::Nothing, {}};
    try {
        if (QFileInfo::exists(target))
            MakeWritable(target);
        pdf::WritePdf(staging.files(), texts, title, target);
    } catch (const Error &e) {
        return {Outcome::Failed, e.description()};
    }
    return {Outcome::Written, {}};
}

PageTextSource PdfExport::textsOf(const QList<int> &roots, const PageTextSource &text) {
    auto texts = std::make_shared<QHash<int, pdf::PageText>>();
    auto errors = std::make_shared<QHash<int, QString>>();
    for (const int root : roots) {
        for (const int page : pagesOf(root)) {
            if (!pdf::IsPdfPageType(m_tree.pageType(page)))
                continue;
            // A page that cannot be decoded is reported by its article's export.
            const PageDisplay::PageFile file = m_display.pageFile(page);
            if (!file.ok)
                continue;
            try {
                texts->insert(page, text(page, file.path));
            } catch (const Error &e) {
                // Its article fails, the others go on.
                errors->insert(page, e.description());
            }
        }
    }
    return [texts, errors](int node, const QString &) {
        if (errors->contains(node))
            throw Error(errors->value(node));
        return texts->value(node);
    };
}

QList<PdfExport::Failure> PdfExport::exportAll(const QString &folder, const PageTextSource &text) {
    QList<Failure> failures;
    exportnames::NameClaims names;
    const QList<int> roots = m_tree.roots();
    const PageTextSource known = text ? textsOf(roots, text) : PageTextSource{};
    for (int i = 0; i < roots.size(); ++i) {
        const int root = roots.at(i);
        const QString title = m_tree.text(root);
        const QString name =
            names.claim(exportnames::safeComponent(title, QStringLiteral("文章%1").arg(i + 1)) +
                        QStringLiteral(".pdf"));
        try {
            const Outcome outcome =
                exportPages(pagesOf(root), title, folder + QLatin1Char('/') + name, true, known);
            if (outcome.kind == Outcome::Failed)
                failures.append({title, outcome.reason});
        } catch (const Error &e) {
            failures.append({title, e.description()});
        }
    }
    return failures;
}

} // namespace qen::pdfexport
