#include "export/ui/pdfcommands.h"

#include "export/ui/browsefolder.h"

#include "export/pdfexport.h"
#include "export/pdftextlayer.h"
#include "ocr/recognition.h"
#include "ocr/textcache.h"
#include "pageview/ui/documents.h"
#include "platform/error.h"
#include "platform/filehelpers.h"
#include "platform/ui/interaction.h"
#include "platform/workfolders.h"

#include <QEventLoop>
#include <QFileInfo>
#include <thread>

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

PdfCommands::~PdfCommands() = default;

ocr::PageReading PdfCommands::readWithLibrary(const QString &file, const volatile int *cancel) {
    // Read as the background reading reads, into the same cache, so that no page is read twice.
    if (!m_reader) {
        const WorkFolders &folders = *m_context.folders;
        m_reader = std::make_unique<ocr::PageReader>(ocr::PageEngineLibrary::shared(),
                                                     ocr::configuredLanguages(folders));
        m_cache = std::make_unique<ocr::TextCache>(ocr::TextCache::defaultFolder(),
                                                   ocr::TextCache::configuredCapBytes(folders));
    }
    return ocr::pageText(file, m_cache->usable() ? m_cache.get() : nullptr, *m_reader, nullptr, {},
                         cancel);
}

ocr::TextLayer PdfCommands::readPage(const QString &file, int index, int pages) {
    volatile int cancel = 0;
    bool stopped = false;
    if (m_context.showProgress)
        m_context.showProgress(QStringLiteral("正在识别文字 %1/%2...").arg(index).arg(pages), [&] {
            stopped = true;
            cancel = 1;
        });
    // The engine runs on a thread of its own, so that the busy window paints and its button
    // answers; the window is modal meanwhile, so no other command can start.
    ocr::PageReading reading;
    QEventLoop loop;
    std::thread worker([&] {
        reading = m_textReader ? m_textReader(file, &cancel) : readWithLibrary(file, &cancel);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    if (stopped)
        throw pdfexport::Cancelled{};
    if (!reading.ok())
        throw Error(QStringLiteral("页面 %1 的文字无法识别：%2\n（不需要文字时，可在PDF菜单中取消"
                                   "“包含识别文字”。）")
                        .arg(file, reading.message));
    return std::move(*reading.layer);
}

pdfexport::PageTextSource PdfCommands::textSource(int pages) {
    if (!m_context.includeText || !m_context.includeText())
        return {};
    auto index = std::make_shared<int>(0);
    return [this, index, pages](int node, const QString &file) {
        ++*index;
        // A page the background reading holds is known by its key; a WWP page's key is its
        // decoded file once shown.
        const QString key = m_context.documents->model().key(node);
        if (m_context.knownText) {
            if (const ocr::TextLayer *layer = m_context.knownText(key))
                return pdf::pageTextOf(*layer);
        }
        return pdf::pageTextOf(readPage(file, *index, pages));
    };
}

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
        const pdfexport::Outcome outcome = exporter.exportPages(
            pages, exporter.titleOf(pages.value(0)), target, false, textSource(int(pages.size())));
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
        case pdfexport::Outcome::Cancelled:
            // Stopped by the user, like a dialog cancelled: nothing written, nothing to say.
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
        int pages = 0;
        for (const int root : documents.model().roots())
            pages += int(exporter.pagesOf(root).size());
        const QList<pdfexport::PdfExport::Failure> failures =
            exporter.exportAll(folder, textSource(pages));
        busy.close();
        if (failures.isEmpty()) {
            inform(QStringLiteral("所有文章存贮完成！"));
            return;
        }
        QString text = QStringLiteral("以下文章没有存贮成PDF文件：");
        for (const auto &f : failures)
            text += QStringLiteral("\n%1：%2").arg(f.title, f.reason);
        warn(text);
    } catch (const pdfexport::Cancelled &) {
        // Every article's text is read before the first file is written: nothing changed.
    } catch (const Error &e) {
        busy.close();
        m_context.interaction->error(m_context.window, e.description());
    }
}

} // namespace qen
