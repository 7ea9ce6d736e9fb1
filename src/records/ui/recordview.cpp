#include "records/ui/recordview.h"

#include "platform/error.h"
#include "platform/errortext.h"
#include "platform/filehelpers.h"
#include "platform/textcodec.h"
#include "records/rtfreader.h"
#include "records/rtfwriter.h"

#include <QFile>
#include <QSaveFile>
#include <QTextCursor>

namespace qen {

RecordView::RecordView(QWidget *parent) : QTextEdit(parent) {
    setReadOnly(true);
    setAcceptRichText(false);
    setFont(defaultRecordFont());
}

QFont RecordView::defaultRecordFont() {
    QFont font(QStringLiteral("宋体"));
    font.setPointSizeF(9.75);
    return font;
}

bool RecordView::loadFile(const QString &path) {
    m_fileName = path;
    if (path.isEmpty()) {
        clear();
        return true;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        clear();
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (rtf::isRtf(bytes)) {
        rtf::read(bytes, *document());
        moveCursor(QTextCursor::Start);
    } else {
        setPlainText(text::decodeExternal(bytes).text);
    }
    return true;
}

void RecordView::saveFile(const QString &path, SaveFormat format) const {
    QByteArray bytes;
    if (format == SaveFormat::Rtf) {
        bytes = rtf::write(*document());
    } else {
        QString content = toPlainText();
        content.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
        QString bad;
        const auto gbk = text::encodeGbk(content, &bad);
        if (!gbk)
            throw Error(text::unencodableMessage(path, bad));
        bytes = *gbk;
    }
    // The file may be read-only; replacing it is what the user asked for.
    if (QFile::exists(path))
        MakeWritable(path);
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        throw Error(
            QStringLiteral("无法写入文件 %1：%2").arg(path, LibraryErrorText(out.errorString())));
}

void RecordView::setRecordFont(const QFont &font) {
    setFont(font);
    QTextCharFormat format;
    format.setFontFamilies({font.family()});
    format.setFontWeight(font.weight());
    format.setFontItalic(font.italic());
    if (font.pointSizeF() > 0)
        format.setFontPointSize(font.pointSizeF());
    format.setFontStrikeOut(font.strikeOut());
    format.setFontUnderline(font.underline());
    QTextCursor all(document());
    all.select(QTextCursor::Document);
    all.mergeCharFormat(format);
}

} // namespace qen
