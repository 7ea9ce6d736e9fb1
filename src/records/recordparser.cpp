#include "records/recordparser.h"

#include "platform/error.h"
#include "platform/textcodec.h"
#include "records/rtfreader.h"

#include <QFile>
#include <QFileInfo>
#include <QTextDocument>

namespace qen::records {

namespace {

const QChar OpenMark(0x3010);  // 【
const QChar CloseMark(0x3011); // 】

bool isBlank(QChar c) {
    // U+FEFF: a byte-order mark left inside the text (a second one, or one after RTF).
    return c.isSpace() || c == QChar(0xFEFF) || c == QChar(0x200B);
}

QStringView trimmed(QStringView s) {
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.sliced(b, e - b);
}

// Lines end at CR LF, LF, CR, and at the line and paragraph separators the RTF reader's
// text may hold; a final ending starts no further line.
QList<QStringView> splitLines(QStringView text) {
    QList<QStringView> lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    while (start < n) {
        qsizetype end = start;
        while (end < n) {
            const char16_t c = text[end].unicode();
            if (c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029)
                break;
            ++end;
        }
        lines << text.sliced(start, end - start);
        qsizetype next = end;
        if (next < n)
            next += (text[next] == u'\r' && next + 1 < n && text[next + 1] == u'\n') ? 2 : 1;
        start = next;
    }
    return lines;
}

bool undecodable(QStringView line) {
    // U+FFFD from Qt's decoders; ICU's GBK converter substitutes U+001A for some bytes.
    return line.contains(QChar::ReplacementCharacter) || line.contains(QChar(0x1A));
}

QString decodeNote(QStringView text) {
    QStringList lines;
    int number = 0;
    for (QStringView line : splitLines(text)) {
        ++number;
        if (undecodable(line)) {
            lines << QString::number(number);
            if (lines.size() == 5)
                break;
        }
    }
    if (lines.isEmpty())
        return QString();
    return QStringLiteral("第 %1 行有无法解码的字节，已用“\uFFFD”代替。")
        .arg(lines.join(QStringLiteral("、")));
}

} // namespace

QString Entry::value(QStringView name) const {
    for (const Field &f : fields)
        if (f.name == name)
            return f.value;
    return QString();
}

bool Entry::has(QStringView name) const {
    for (const Field &f : fields)
        if (f.name == name)
            return true;
    return false;
}

QString normaliseFieldName(QStringView name) {
    const QString nfkc = name.toString().normalized(QString::NormalizationForm_KC);
    QString out;
    out.reserve(nfkc.size());
    for (QChar c : nfkc)
        if (!isBlank(c))
            out += c;
    return out;
}

QString recordText(QByteArrayView bytes, QStringList *warnings) {
    QString text;
    if (rtf::isRtf(bytes)) {
        QTextDocument document;
        rtf::read(bytes, document);
        text = document.toPlainText();
    } else {
        text = text::decodeExternal(bytes).text;
    }
    if (warnings) {
        const QString note = decodeNote(text);
        if (!note.isEmpty())
            *warnings << note;
    }
    return text;
}

ParsedRecord parseRecordText(const QString &text) {
    ParsedRecord out;
    Entry current;
    bool inField = false; // the last line belongs to current.fields.last()
    QStringList malformed;
    int number = 0;
    for (QStringView raw : splitLines(text)) {
        ++number;
        const QStringView line = trimmed(raw);
        if (line.isEmpty()) {
            inField = false;
            continue;
        }
        // As GetFieldName: the first 【 and the first 】 of the line. Here the 【 must begin the
        // line, as the README says of field lines: a bracketed word inside an abstract's text
        // is no field.
        const qsizetype open = line.indexOf(OpenMark);
        const qsizetype close = line.indexOf(CloseMark);
        if (open >= 0 && close >= 0 && close < open) {
            malformed << QString::number(number);
        } else if (open == 0 && close > 0) {
            const QString name = normaliseFieldName(line.sliced(1, close - 1));
            if (!name.isEmpty()) {
                if (current.has(name)) {
                    out.entries << current;
                    current = Entry();
                }
                if (current.fields.isEmpty())
                    current.line = number;
                current.fields.append({name, trimmed(line.sliced(close + 1)).toString(), number});
                inField = true;
                continue;
            }
        }
        if (inField) {
            QString &value = current.fields.last().value;
            if (!value.isEmpty())
                value += QLatin1Char('\n');
            value += line;
        }
    }
    if (!current.fields.isEmpty())
        out.entries << current;
    if (!malformed.isEmpty())
        out.warnings << QStringLiteral("第 %1 行的字段标记有误（】在【之前），按正文读入。")
                            .arg(malformed.mid(0, 5).join(QStringLiteral("、")));
    return out;
}

ParsedRecord parseRecordBytes(QByteArrayView bytes) {
    QStringList warnings;
    const QString text = recordText(bytes, &warnings);
    ParsedRecord parsed = parseRecordText(text);
    parsed.warnings = warnings + parsed.warnings;
    return parsed;
}

qsizetype maxRecordFileSize() {
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    return qsizetype(1) << 20;
#else
    return qsizetype(64) << 20;
#endif
}

ParsedRecord readRecordFile(const QString &path) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("无法读取题录文件 %1：%2").arg(path, in.errorString()));
    // A device (a pipe, /dev/zero) has no size to check first; at most one byte past the
    // limit is read to tell.
    const QByteArray bytes = in.read(maxRecordFileSize() + 1);
    if (bytes.size() > maxRecordFileSize())
        throw Error(QStringLiteral("题录文件 %1 超过 %2 MB，没有读入。")
                        .arg(path)
                        .arg(maxRecordFileSize() >> 20));
    if (in.error() != QFileDevice::NoError)
        throw Error(QStringLiteral("无法读取题录文件 %1：%2").arg(path, in.errorString()));
    ParsedRecord parsed = parseRecordBytes(bytes);
    if (parsed.entries.isEmpty())
        throw Error(bytes.isEmpty()
                        ? QStringLiteral("题录文件 %1 是空的。").arg(path)
                        : QStringLiteral("题录文件 %1 中没有【字段】行，不是题录。").arg(path));
    return parsed;
}

} // namespace qen::records
