#include "records/fieldfilter.h"

#include "platform/error.h"
#include "platform/errortext.h"
#include "platform/filehelpers.h"
#include "platform/profilestring.h"
#include "platform/textcodec.h"

#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QStringEncoder>

#include <cstring>

namespace qen {

namespace {

const QChar OpenMark(0x3010);  // 【
const QChar CloseMark(0x3011); // 】

// The option buffer of the settings call holds ten characters, the terminating NUL included.
constexpr int OptionBufferSize = 10;

Error malformedMarker(const QString &line) {
    return Error(QStringLiteral("题录行“%1”的字段标记有误：】出现在【之前。").arg(line));
}

enum class Bytes { Gbk, Utf8 };

// Positions of the first 【 and the first 】 in one line of bytes, each -1 when absent.
struct Marks {
    qsizetype open = -1, close = -1, openLen = 0;
};

Marks findMarks(QByteArrayView line, Bytes kind) {
    Marks m;
    if (kind == Bytes::Utf8) {
        m.open = line.indexOf("\xE3\x80\x90");
        m.close = line.indexOf("\xE3\x80\x91");
        m.openLen = 3;
        return m;
    }
    // Both marks are A1 xx in GBK; a line without an A1 byte has neither, which is most lines.
    if (!std::memchr(line.data(), 0xA1, line.size()))
        return m;
    m.openLen = 2;
    const auto *p = reinterpret_cast<const unsigned char *>(line.data());
    const qsizetype n = line.size();
    for (qsizetype i = 0; i < n;) {
        // GBK lead bytes run from 0x81 to 0xFE; 0xFF stands alone and must not swallow the
        // byte after it, which may begin a marker.
        if (p[i] < 0x81 || p[i] == 0xFF || i + 1 >= n) {
            ++i;
            continue;
        }
        if (p[i] == 0xA1 && p[i + 1] == 0xBE && m.open < 0)
            m.open = i;
        else if (p[i] == 0xA1 && p[i + 1] == 0xBF && m.close < 0)
            m.close = i;
        if (m.open >= 0 && m.close >= 0)
            break;
        i += 2;
    }
    return m;
}

// Decides each distinct field name once; a record repeats the same few names many times.
class OptionCache {
public:
    OptionCache(const ProfileSection &options, Bytes kind) : m_options(options), m_kind(kind) {}

    bool shows(QByteArrayView nameBytes) {
        const auto it = m_known.constFind(nameBytes.toByteArray());
        if (it != m_known.cend())
            return *it;
        const QString name =
            m_kind == Bytes::Gbk ? text::decodeGbk(nameBytes) : QString::fromUtf8(nameBytes);
        const QString value = m_options.value(name, QStringLiteral("1"), OptionBufferSize);
        const std::optional<bool> truth = optionTruth(value);
        if (!truth)
            throw Error(QStringLiteral("输出选项“%1”的值“%2”不是有效的设置。").arg(name, value));
        m_known.insert(nameBytes.toByteArray(), *truth);
        return *truth;
    }

private:
    const ProfileSection &m_options;
    Bytes m_kind;
    QHash<QByteArray, bool> m_known;
};

QByteArray filterLines(QByteArrayView in, Bytes kind, const ProfileSection &options) {
    OptionCache cache(options, kind);
    QByteArray out;
    out.reserve(in.size() + in.size() / 16);
    bool keep = true;
    const qsizetype n = in.size();
    qsizetype start = 0;
    while (start < n) {
        // Lines end at CR LF, LF or CR; a final ending does not start another line.
        const char *data = in.data();
        qsizetype end = start;
        while (end < n && data[end] != '\n' && data[end] != '\r')
            ++end;
        const QByteArrayView line(data + start, end - start);
        qsizetype next = end;
        if (next < n)
            next += (data[next] == '\r' && next + 1 < n && data[next + 1] == '\n') ? 2 : 1;
        start = next;

        if (line.isEmpty())
            keep = true;
        const Marks m = findMarks(line, kind);
        if (m.open >= 0 && m.close >= 0) {
            if (m.close < m.open)
                throw malformedMarker(kind == Bytes::Gbk ? text::decodeGbk(line)
                                                         : QString::fromUtf8(line));
            const QByteArrayView name =
                line.sliced(m.open + m.openLen, m.close - m.open - m.openLen);
            if (!name.isEmpty()) {
                keep = cache.shows(name);
                if (keep) {
                    out += line;
                    out += "\r\n";
                }
                continue;
            }
        }
        if (keep) {
            out += line;
            out += "\r\n";
        }
    }
    return out;
}

QString systemReason(const QFileDevice &file) {
    return LibraryErrorText(file.errorString());
}

} // namespace

QString outputOptionsSection() {
    return QStringLiteral("输出选项");
}

QString GetFieldName(const QString &line) {
    const qsizetype p1 = line.indexOf(OpenMark);
    const qsizetype p2 = line.indexOf(CloseMark);
    if (p1 < 0 || p2 < 0)
        return QString();
    if (p2 < p1)
        throw malformedMarker(line);
    return line.mid(p1 + 1, p2 - p1 - 1);
}

std::optional<bool> optionTruth(const QString &value) {
    const QString v = value.trimmed();
    if (v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (v.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    // A plain decimal number: sign, digits with an optional fraction, optional exponent.
    qsizetype i = 0;
    if (i < v.size() && (v[i] == u'+' || v[i] == u'-'))
        ++i;
    bool nonZero = false, digits = false;
    for (; i < v.size() && v[i].isDigit() && v[i].unicode() < 0x80; ++i)
        digits = true, nonZero |= v[i] != u'0';
    if (i < v.size() && v[i] == u'.')
        for (++i; i < v.size() && v[i].isDigit() && v[i].unicode() < 0x80; ++i)
            digits = true, nonZero |= v[i] != u'0';
    if (!digits)
        return std::nullopt;
    if (i < v.size() && (v[i] == u'e' || v[i] == u'E')) {
        ++i;
        if (i < v.size() && (v[i] == u'+' || v[i] == u'-'))
            ++i;
        const qsizetype expStart = i;
        while (i < v.size() && v[i].isDigit() && v[i].unicode() < 0x80)
            ++i;
        if (i == expStart)
            return std::nullopt;
    }
    if (i != v.size())
        return std::nullopt;
    return nonZero;
}

QString temporaryRecordPath(const QString &recordPath, const QString &tempFolder) {
    QString fileName = recordPath.mid(recordPath.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        fileName.truncate(dot);
    return tempFolder + QLatin1Char('/') + fileName + QStringLiteral(".tmp");
}

QByteArray filterRecordBytes(const QByteArray &record, const ProfileSection &options) {
    if (record.startsWith("\xEF\xBB\xBF"))
        return "\xEF\xBB\xBF" + filterLines(QByteArrayView(record).sliced(3), Bytes::Utf8, options);
    if (record.startsWith("\xFF\xFE") || record.startsWith("\xFE\xFF")) {
        // Rare enough to go through UTF-8 and come out as UTF-8 as well.
        const QByteArray utf8 = text::decodeExternal(record).text.toUtf8();
        return "\xEF\xBB\xBF" + filterLines(utf8, Bytes::Utf8, options);
    }
    if (text::isCjkUtf8(record))
        return "\xEF\xBB\xBF" + filterLines(record, Bytes::Utf8, options);
    return filterLines(record, Bytes::Gbk, options);
}

FilterOutcome filterRecordFile(const QString &recordPath, const QString &settingsFile,
                               const QString &tempFolder) {
    FilterOutcome outcome;
    if (recordPath.isEmpty() || GetFileExt(recordPath).toUpper() == QLatin1String("WP") ||
        !FileExists(settingsFile))
        return outcome;
    outcome.status = FilterOutcome::SettingsError;
    try {
        const QString target = temporaryRecordPath(recordPath, tempFolder);
        if (QFile::exists(target)) {
            MakeWritable(target);
            QFile old(target);
            if (!old.remove())
                throw Error(QStringLiteral("无法删除文件 %1：%2").arg(target, systemReason(old)));
        }
        QFile in(recordPath);
        if (!in.open(QIODevice::ReadOnly))
            throw Error(QStringLiteral("无法读取文件 %1：%2").arg(recordPath, systemReason(in)));
        const QByteArray record = in.readAll();
        in.close();
        const ProfileSection options =
            ProfileFile::read(settingsFile).section(outputOptionsSection());
        const QByteArray filtered = filterRecordBytes(record, options);
        QSaveFile out(target);
        if (!out.open(QIODevice::WriteOnly) || out.write(filtered) != filtered.size() ||
            !out.commit())
            throw Error(QStringLiteral("无法写入文件 %1：%2").arg(target, systemReason(out)));
        outcome.status = FilterOutcome::Filtered;
        outcome.output = target;
    } catch (const Error &e) {
        outcome.problem = e.description();
    }
    return outcome;
}

QString settingsErrorMessage(const QString &settingsFile) {
    return QStringLiteral(
               "在设置输出选项时出错，请检查你的%1文件的设置。此处将按全部信息进行显示！")
        .arg(settingsFile);
}

} // namespace qen
