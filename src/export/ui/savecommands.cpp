#include "export/ui/savecommands.h"

#include "articles/articletree.h"
#include "articles/imagedocument.h"
#include "export/pagesaving.h"
#include "export/ui/browsefolder.h"
#include "pageview/pagedisplay.h"
#include "pageview/shownview.h"
#include "pageview/ui/imageview.h"
#include "platform/error.h"
#include "platform/filehelpers.h"
#include "platform/ui/interaction.h"
#include "platform/ui/twipsgeometry.h"
#include "records/ui/recordview.h"

#include <QFileInfo>

namespace qen {

namespace {
const QString ImageFilter =
    QStringLiteral("所有图像文件 (*.tif *.jpg *.gif *.bmp);;TIF文件 (*.tif);;JPG文件 (*.jpg);;"
                   "GIF文件 (*.gif);;BMP文件 (*.bmp)");
const QString TifQuestion = QStringLiteral("您没有设置文件类型，将接.TIF格式存贮,要继续吗？");
const QString TxtQuestion = QStringLiteral("您没有设置文件类型，将接.TXT格式存贮,要继续吗？");
const QString Done = QStringLiteral("保存完成!");
} // namespace

QString replaceQuestion() {
    return QStringLiteral("此文件已经存在，要覆盖吗？");
}

bool mayReplaceFile(Interaction &interaction, QWidget *parent, const QString &target,
                    const QString &question) {
    const QFileInfo info(target);
    return !(info.exists() || info.isSymLink()) || interaction.question(parent, question);
}

SaveCommands::SaveCommands(ExportControls controls, ExportHooks hooks, Interaction &interaction,
                           QObject *parent)
    : QObject(parent), m_controls(controls), m_hooks(std::move(hooks)), m_interaction(interaction) {
}

void SaveCommands::SavePages(int scope) {
    const ArticleTree &tree = *m_controls.tree;
    if (tree.isEmpty())
        return;
    const int node = tree.selected() ? tree.selected() : tree.roots().constFirst();
    try {
        if (scope == CurrentPage)
            saveCurrentPage(node);
        else
            saveArticles(scope, node);
    } catch (const Error &e) {
        m_interaction.error(m_controls.window, e.description());
    }
}

QString SaveCommands::chooseName(const QString &filter, const QString &suffix,
                                 const QString &noExtension, const QString &appended) {
    const QString chosen = m_interaction.saveFileNameUnconfirmed(
        m_controls.window, QStringLiteral("保存当前页"), filter, suffix);
    if (chosen.isEmpty() || savenames::hasExtension(chosen))
        return chosen;
    return m_interaction.question(m_controls.window, noExtension) ? chosen + appended : QString();
}

bool SaveCommands::mayReplace(const QString &target, const QString &question) {
    return mayReplaceFile(m_interaction, m_controls.window, target, question);
}

void SaveCommands::report(const QStringList &skipped) {
    if (skipped.isEmpty()) {
        m_interaction.information(m_controls.window, Done);
        return;
    }
    m_interaction.message(m_controls.window, QMessageBox::Warning, QStringLiteral("提示信息"),
                          QStringLiteral("保存结束，但以下页面没有保存：\n") +
                              skipped.join(QLatin1Char('\n')),
                          QMessageBox::Ok, QMessageBox::Ok);
}

void SaveCommands::saveCurrentPage(int node) {
    const QString type = m_controls.tree->pageType(node);
    if (type == u"RTF" || type == u"TXT" || type == u"WP")
        saveRecordPage(node, type == u"RTF");
    else if (type == u"WWP")
        saveWwpPage(node);
    else
        saveImagePage(node);
}

void SaveCommands::saveImagePage(int node) {
    const QString chosen = chooseName(ImageFilter, QString(), TifQuestion, QStringLiteral(".tif"));
    if (chosen.isEmpty())
        return;
    QString target;
    const ImageFileType type = savenames::imageSaveType(chosen, &target);
    if (!mayReplace(target, replaceQuestion()))
        return;
    ExportBusy busy(m_hooks);
    // What the user sees, adjustments included; a parked view may still hold an earlier
    // page, so then the page is read from its file. A page too large to hold whole is
    // written from its file either way.
    const ImageView *view = m_controls.imageView;
    if (view && !m_controls.shown->recordShown() && view->hasImage()) {
        view->document().write(target, type);
    } else {
        const int page =
            m_controls.tree->firstChild(node) ? m_controls.tree->firstChild(node) : node;
        const PageDisplay::PageFile file = m_controls.display->pageFile(page);
        if (!file.ok)
            throw Error(QStringLiteral("无法解码页面 %1。").arg(file.path));
        ImageDocument document;
        document.load(file.path);
        document.write(target, type);
    }
    m_interaction.information(m_controls.window, Done);
}

void SaveCommands::saveRecordPage(int node, bool rtfRecord) {
    const QString chosen =
        rtfRecord ? chooseName(QStringLiteral("文本格式文件 (*.rtf)"), QStringLiteral("rtf"),
                               TxtQuestion, QStringLiteral(".txt"))
                  : chooseName(QStringLiteral("文本文件 (*.txt)"), QStringLiteral("txt"),
                               TxtQuestion, QStringLiteral(".txt"));
    if (chosen.isEmpty() || !mayReplace(chosen, replaceQuestion()))
        return;
    ExportBusy busy(m_hooks);
    const auto format = savenames::savesAsRtf(chosen) ? RecordView::SaveFormat::Rtf
                                                      : RecordView::SaveFormat::PlainText;
    const QString key = m_controls.tree->key(node);
    // The shown record is saved as filtered; one not shown is read from its file.
    const RecordView *shown = m_controls.recordView;
    if (shown && m_controls.shown->recordShown() && shown->tag() == key) {
        shown->saveFile(chosen, format);
    } else {
        RecordView record;
        if (!record.loadFile(key))
            throw Error(QStringLiteral("无法读取文件 %1。").arg(key));
        record.saveFile(chosen, format);
    }
    m_interaction.information(m_controls.window, Done);
}

void SaveCommands::saveWwpPage(int node) {
    const QString target = chooseName(QStringLiteral("TIF图像文件 (*.tif)"), QString(), TifQuestion,
                                      QStringLiteral(".tif"));
    if (target.isEmpty() || !mayReplace(target, QStringLiteral("文件已经存在，要覆盖吗?")))
        return;
    ExportBusy busy(m_hooks, QStringLiteral("正在保存数据，请稍候。。。"));
    const QString key = m_controls.tree->key(node);
    // Decoded into the work folder as showing the page does, then copied into place, so
    // the user's folder only ever sees the finished file.
    const PageDisplay::PageFile file = m_controls.display->pageFile(node);
    if (!file.ok)
        throw Error(QStringLiteral("无法解码 WWP 页面 %1。").arg(key));
    CopyFile(file.path, target, true, true);
    m_interaction.information(m_controls.window, Done);
}

void SaveCommands::saveArticles(int scope, int node) {
    ArticleTree &tree = *m_controls.tree;
    int article = tree.parent(node);
    if (!article) {
        const bool single =
            scope == CurrentArticle ? tree.childCount(node) == 0 : tree.count() == 1;
        if (single) {
            saveCurrentPage(node);
            return;
        }
        if (scope == CurrentArticle) {
            if (m_hooks.showNode)
                m_hooks.showNode(tree.firstChild(node));
            article = node;
        }
    }
    const QString folder =
        BrowseForFolder(m_interaction, m_controls.window,
                        scope == CurrentArticle ? QStringLiteral("请指定要存贮的目标路径")
                                                : QStringLiteral("请选择要存贮的目标路径"));
    if (folder.isEmpty())
        return;
    ArticleSaver saver(tree, *m_controls.display);
    {
        ExportBusy busy(m_hooks);
        try {
            if (scope == CurrentArticle)
                saver.saveArticle(article, folder);
            else
                saver.saveAll(folder);
        } catch (const Error &e) {
            const ArticleSaver::Outcome &done = saver.outcome();
            QString text = e.description();
            text += QStringLiteral("\n\n已保存 %1 个文件，其余的没有保存。").arg(done.saved);
            if (!done.skipped.isEmpty())
                text += QStringLiteral("\n另有以下页面无法保存：\n") +
                        done.skipped.join(QLatin1Char('\n'));
            throw Error(text);
        }
    }
    report(saver.outcome().skipped);
}

} // namespace qen
