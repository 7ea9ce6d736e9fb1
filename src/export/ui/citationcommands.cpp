#include "export/ui/citationcommands.h"

#include "articles/articletree.h"
#include "export/ui/savecommands.h"
#include "platform/filehelpers.h"
#include "platform/ui/interaction.h"
#include "platform/ui/twipsgeometry.h"
#include "records/citationformats.h"
#include "records/ui/recordview.h"

#include <QFile>
#include <QSaveFile>

namespace qen {

namespace {

const QString ExportTitle = QStringLiteral("导出题录");
const QString NoExtension = QStringLiteral("您没有设置文件类型，将按.RIS格式存贮,要继续吗？");
constexpr int ShownProblems = 10;

bool hasExtension(const QString &path) {
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    return name.lastIndexOf(QLatin1Char('.')) > 0;
}

} // namespace

CitationCommands::CitationCommands(ExportControls controls, ExportHooks hooks,
                                   Interaction &interaction, QObject *parent)
    : QObject(parent), m_controls(controls), m_hooks(std::move(hooks)), m_interaction(interaction) {
}

QString CitationCommands::fileTypes() {
    return QStringLiteral("RIS 文件 (*.ris);;BibTeX 文件 (*.bib);;CSL-JSON 文件 (*.json);;"
                          "EndNote 文件 (*.enw)");
}

QString CitationCommands::shownRecord() const {
    const RecordView *view = m_controls.recordView;
    if (!view || leftTwips(view) < 0)
        return QString();
    return view->tag();
}

QStringList CitationCommands::openRecords() const {
    QStringList files;
    const ArticleTree *tree = m_controls.tree;
    if (!tree)
        return files;
    for (int i = 1; i <= tree->count(); ++i) {
        const QString type = tree->pageType(i);
        if (type == u"RTF" || type == u"TXT" || type == u"WP")
            files << tree->key(i);
    }
    return files;
}

QString CitationCommands::problemText(const QStringList &problems) {
    QString text = problems.mid(0, ShownProblems).join(QLatin1Char('\n'));
    if (problems.size() > ShownProblems)
        text += QStringLiteral("\n……另有 %1 条").arg(problems.size() - ShownProblems);
    return text;
}

void CitationCommands::exportRecords() {
    const QString shown = shownRecord();
    if (shown.isEmpty())
        return;
    QStringList files{shown};
    const QStringList all = openRecords();
    if (all.size() > 1 &&
        m_interaction.question(m_controls.window,
                               QStringLiteral("打开的文章中共有 %1 个题录文件，要全部导出吗？\n"
                                              "选择“否”只导出当前显示的题录。")
                                   .arg(all.size())))
        files = all;

    QString target = m_interaction.saveFileNameUnconfirmed(m_controls.window, ExportTitle,
                                                           fileTypes(), QString());
    if (target.isEmpty())
        return;
    std::optional<records::CitationFormat> format = records::formatForFile(target);
    if (!format) {
        if (hasExtension(target)) {
            m_interaction.error(m_controls.window,
                                QStringLiteral("不能导出为 %1：题录可导出为 .ris、.bib、.json "
                                               "或 .enw 文件。")
                                    .arg(target));
            return;
        }
        if (!m_interaction.question(m_controls.window, NoExtension))
            return;
        target += QStringLiteral(".ris");
        format = records::CitationFormat::Ris;
    }
    if (!mayReplaceFile(m_interaction, m_controls.window, target))
        return;

    records::CitationBatch batch;
    QByteArray bytes;
    {
        ExportBusy busy(m_hooks);
        batch = records::readCitations(files);
        if (!batch.citations.isEmpty())
            bytes = records::formatCitations(batch.citations, *format);
    }
    if (batch.citations.isEmpty()) {
        // Nothing is written: an empty file would look like a finished export.
        m_interaction.error(m_controls.window,
                            QStringLiteral("没有可导出的题录，没有写入 %1。\n").arg(target) +
                                problemText(batch.problems));
        return;
    }
    // The file may be read-only; replacing it is what the user agreed to.
    if (QFile::exists(target))
        MakeWritable(target);
    // Unbuffered: Qt 6.4 commits a file whose buffered bytes only partly reached the disk (a
    // full disk, a file size limit) as if whole; written directly, a short write shows here.
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        out.write(bytes) != bytes.size() || !out.commit()) {
        const QString reason = out.error() == QFileDevice::NoError
                                   ? QStringLiteral("只写入了一部分（磁盘已满？）")
                                   : out.errorString();
        m_interaction.error(m_controls.window,
                            QStringLiteral("无法写入文件 %1：%2").arg(target, reason));
        return;
    }
    QString done = QStringLiteral("导出完成！共导出 %1 条题录。").arg(batch.citations.size());
    if (!batch.problems.isEmpty())
        done += QStringLiteral("\n\n") + problemText(batch.problems);
    m_interaction.information(m_controls.window, done);
}

void CitationCommands::copyCitation() {
    const QString shown = shownRecord();
    if (shown.isEmpty())
        return;
    const records::CitationBatch batch = records::readCitations({shown});
    if (batch.citations.isEmpty()) {
        m_interaction.error(m_controls.window,
                            QStringLiteral("没有可复制的引文。\n") + problemText(batch.problems));
        return;
    }
    QString text = records::toGbt7714List(batch.citations);
    text.chop(1); // the last line's end: the clipboard holds lines, not a file
    m_interaction.setClipboardText(text);
    if (!batch.problems.isEmpty())
        m_interaction.information(m_controls.window, QStringLiteral("引文已复制，但：\n") +
                                                         problemText(batch.problems));
}

} // namespace qen
