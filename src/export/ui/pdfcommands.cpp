#include "export/ui/pdfcommands.h"

#include "export/ui/browsefolder.h"

#include "export/pdfexport.h"
#include "pageview/ui/documents.h"
#include "platform/error.h"
#include "platform/filehelpers.h"
#include "platform/ui/interaction.h"
#include "platform/workfolders.h"

#include <QFileInfo>

namespace qen {

namespace {

const QString Title = QStringLiteral("提示信息");
const QString BusyText = QStringLiteral("正在存贮数据，请稍候...");
const QString OtherTypes = QStringLiteral("其他文件类型不能转换成PDF文件格式！");

// Closes the busy window on every way out of a command, errors included.
class Busy {
public:
    explicit Busy(const PdfCommands::Context &c) : m_context(c) {
        if (m_context.showBusy)
            m_context.showBusy(BusyText);
    }
    ~Busy() { close(); }
    void close() {
        if (m_open && m_context.closeBusy)
            m_context.closeBusy();
        m_open = false;
    }

private:
    const PdfCommands::Context &m_context;
    bool m_open = true;
};

} // namespace

PdfCommands::PdfCommands(Context context, QObject *parent)
    : QObject(parent), m_context(std::move(context)) {}

QString PdfCommands::stagingParent() const {
    // The program folder of an installed copy lives under the work root and may not exist yet.
    const WorkFolders &folders = *m_context.folders;
    folders.ensure(folders.appPath());
    folders.ensure(folders.appTemp());
    return folders.appTemp();
}

void PdfCommands::inform(const QString &text) {
    m_context.interaction->message(m_context.window, QMessageBox::Information, Title, text,
                                   QMessageBox::Ok, QMessageBox::Ok);
}

void PdfCommands::warn(const QString &text) {
    m_context.interaction->message(m_context.window, QMessageBox::Warning, Title, text,
                                   QMessageBox::Ok, QMessageBox::Ok);
}

QString PdfCommands::chooseTarget() {
    // Our own question below is the only one about an existing file.
    QString name = m_context.interaction->saveFileNameUnconfirmed(
        m_context.window, QStringLiteral("存贮PDF文件的文件名"), QStringLiteral("PDF文件 (*.pdf)"),
        QStringLiteral("pdf"));
    if (name.isEmpty())
        return {};
    if (GetFileExt(name).toUpper() != QLatin1String("PDF"))
        name += QStringLiteral(".pdf");
    // "Yes" does not delete the old file: the new one takes its place only once complete.
    if (QFileInfo::exists(name) &&
        m_context.interaction->message(m_context.window, QMessageBox::Question, Title,
                                       QStringLiteral("此文件已经存在，你要替换此文件吗？"),
                                       QMessageBox::Yes | QMessageBox::No,
                                       QMessageBox::Yes) != QMessageBox::Yes)
        return {};
    return name;
}

void PdfCommands::saveOne(Scope scope) {
    Documents &documents = *m_context.documents;
    if (!documents.isOpen() || !documents.model().isValid(documents.model().selected()))
        return;
    const QString target = chooseTarget();
    if (target.isEmpty())
        return;
    Busy busy(m_context);
    try {
        pdfexport::PdfExport exporter(documents.model(), documents.display(), stagingParent());
        const QList<int> pages =
            scope == Scope::Page ? exporter.currentPage() : exporter.currentArticle();
        const pdfexport::Outcome outcome =
            exporter.exportPages(pages, exporter.titleOf(pages.value(0)), target, false);
        busy.close();
        const bool page = scope == Scope::Page;
        switch (outcome.kind) {
        case pdfexport::Outcome::Written:
            inform(page ? QStringLiteral("当前页文章已经成功地转换成了PDF文件！")
                        : QStringLiteral("当前篇文件已经全部转换成了PDF文件！"));
            break;
        case pdfexport::Outcome::Unsupported:
        case pdfexport::Outcome::Nothing:
            inform(OtherTypes);
            break;
        case pdfexport::Outcome::Failed:
            warn((page ? QStringLiteral("将当前页文章转换成了PDF文件时出错了！")
                       : QStringLiteral("将当前篇文件转换成了PDF文件时出错了！")) +
                 QLatin1Char('\n') + outcome.reason);
            break;
        }
    } catch (const Error &e) {
        busy.close();
        m_context.interaction->error(m_context.window, e.description());
    }
}

void PdfCommands::SaveCurrentPage() {
    saveOne(Scope::Page);
}

void PdfCommands::SaveCurrentArticle() {
    saveOne(Scope::Article);
}

void PdfCommands::SaveAllArticles() {
    Documents &documents = *m_context.documents;
    const QString folder = BrowseForFolder(*m_context.interaction, m_context.window,
                                           QStringLiteral("请选择你要存贮这些PDF的文件目录"));
    if (folder.isEmpty())
        return;
    Busy busy(m_context);
    try {
        pdfexport::PdfExport exporter(documents.model(), documents.display(), stagingParent());
        const QList<pdfexport::PdfExport::Failure> failures = exporter.exportAll(folder);
        busy.close();
        if (failures.isEmpty()) {
            inform(QStringLiteral("所有文章存贮完成！"));
            return;
        }
        QString text = QStringLiteral("以下文章没有存贮成PDF文件：");
        for (const auto &f : failures)
            text += QStringLiteral("\n%1：%2").arg(f.title, f.reason);
        warn(text);
    } catch (const Error &e) {
        busy.close();
        m_context.interaction->error(m_context.window, e.description());
    }
}

} // namespace qen
