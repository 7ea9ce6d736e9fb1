#include "platform/profilestring.h"
#include "platform/errortext.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace qen {

namespace {

// A byte-order mark left inside the text (a file that starts with two) counts as blank.
QStringView trimmed(QStringView s) {
    s = s.trimmed();
    while (s.startsWith(QChar(0xFEFF)))
        s = s.sliced(1).trimmed();
    return s;
}

// The section name of a header line, or nothing for any other line.
std::optional<QString> headerName(QStringView line) {
    const QStringView t = trimmed(line);
    if (!t.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = t.indexOf(u']');
    return trimmed(t.mid(1, close < 0 ? -1 : close - 1)).toString();
}

struct KeyLine {
    QString key;
    QString value;
    qsizetype valueStart = 0; // where the written value begins in the line's text
};

// A "key=value" line; comment lines and lines without "=" are not keys.
std::optional<KeyLine> keyLine(QStringView line) {
    const QStringView t = trimmed(line);
    if (t.isEmpty() || t.startsWith(u';') || t.startsWith(u'['))
        return std::nullopt;
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return std::nullopt;
    KeyLine k;
    k.key = trimmed(line.left(eq)).toString();
    if (k.key.isEmpty())
        return std::nullopt;
    qsizetype start = eq + 1;
    while (start < line.size() && line[start].isSpace())
        ++start;
    k.valueStart = start;
    QStringView v = trimmed(line.mid(start));
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    k.value = v.toString();
    return k;
}

bool sameName(const QString &a, const QString &b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString cutToBuffer(const QString &value, int size) {
    if (size <= 0)
        return QString();
    const int limit = size - 1;
    int used = 0;
    qsizetype i = 0;
    for (; i < value.size(); ++i) {
        const int width = value[i].unicode() < 0x80 ? 1 : 2;
        if (used + width > limit)
            break;
        used += width;
    }
    // Never leave half of a surrogate pair.
    if (i > 0 && i < value.size() && value[i - 1].isHighSurrogate())
        --i;
    return value.left(i);
}

bool isUtf16(text::Encoding e) {
    return e == text::Encoding::Utf16Le || e == text::Encoding::Utf16Be;
}

QByteArray bomOf(text::Encoding e) {
    switch (e) {
    case text::Encoding::Utf8Bom:
        return QByteArrayLiteral("\xEF\xBB\xBF");
    case text::Encoding::Utf16Le:
        return QByteArrayLiteral("\xFF\xFE");
    case text::Encoding::Utf16Be:
        return QByteArrayLiteral("\xFE\xFF");
    default:
        return QByteArray();
    }
}

} // namespace

QString ProfileSection::value(const QString &key, const QString &defaultValue, int size) const {
    const auto it = m_values.constFind(key.trimmed().toCaseFolded());
    return cutToBuffer(it == m_values.cend() ? defaultValue : *it, size);
}

ProfileFile ProfileFile::read(const QString &path) {
    ProfileFile file;
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return file;
    file.m_exists = true;
    const QByteArray all = in.readAll();
    const text::Decoded decoded = text::decodeExternal(all);
    file.m_encoding = decoded.encoding;

    if (isUtf16(decoded.encoding)) {
        // Lines are cut at CR and LF code units and keep their bytes as they stand, so a
        // doubled byte-order mark or a stray surrogate survives writing another key.
        const bool bigEndian = decoded.encoding == text::Encoding::Utf16Be;
        // An odd last byte belongs to no character: it stays last, after anything appended,
        // so the lines written after it keep their alignment.
        const qsizetype n = all.size() - all.size() % 2;
        file.m_trailing = all.mid(n);
        const auto unit = [&](qsizetype at) {
            const auto a = static_cast<unsigned char>(all[at]);
            const auto b = static_cast<unsigned char>(all[at + 1]);
            return char16_t(bigEndian ? (a << 8 | b) : (b << 8 | a));
        };
        QStringDecoder decoder(bigEndian ? QStringDecoder::Utf16BE : QStringDecoder::Utf16LE,
                               QStringDecoder::Flag::Stateless |
                                   QStringDecoder::Flag::ConvertInitialBom);
        qsizetype start = 2;
        while (start < n) {
            qsizetype end = start;
            while (end < n && unit(end) != u'\n' && unit(end) != u'\r')
                end += 2;
            Line line;
            line.raw = all.mid(start, end - start);
            if (end < n)
                line.eol = all.mid(
                    end, unit(end) == u'\r' && end + 3 < n && unit(end + 2) == u'\n' ? 4 : 2);
            line.text = decoder.decode(line.raw);
            file.m_lines.append(line);
            start = end + line.eol.size();
        }
        return file;
    }

    const qsizetype bom = bomOf(decoded.encoding).size();
    qsizetype start = bom;
    // GBK trail bytes are never CR or LF, so the bytes can be cut at line ends directly.
    while (start < all.size()) {
        qsizetype end = start;
        while (end < all.size() && all[end] != '\n' && all[end] != '\r')
            ++end;
        Line line;
        line.raw = all.mid(start, end - start);
        if (end < all.size())
            line.eol = (all[end] == '\r' && end + 1 < all.size() && all[end + 1] == '\n')
                           ? QByteArrayLiteral("\r\n")
                           : all.mid(end, 1);
        line.text = decoded.encoding == text::Encoding::Gbk ? text::decodeGbk(line.raw)
                                                            : QString::fromUtf8(line.raw);
        file.m_lines.append(line);
        start = end + line.eol.size();
    }
    return file;
}

ProfileSection ProfileFile::section(const QString &name) const {
    ProfileSection result;
    bool found = false;
    for (const Line &line : m_lines) {
        if (const auto header = headerName(line.text)) {
            if (found)
                break;
            found = sameName(*header, name.trimmed());
            continue;
        }
        if (!found)
            continue;
        if (const auto k = keyLine(line.text)) {
            const QString folded = k->key.toCaseFolded();
            if (!result.m_values.contains(folded))
                result.m_values.insert(folded, k->value);
        }
    }
    return result;
}

std::optional<QByteArray> ProfileFile::encodeLine(const QString &text, QString *firstBad) const {
    auto bytes = text::encode(text, m_encoding, firstBad);
    if (bytes)
        bytes->remove(0, bomOf(m_encoding).size());
    return bytes;
}

QByteArray ProfileFile::newLineEnding() const {
    for (const Line &line : m_lines)
        if (!line.eol.isEmpty())
            return line.eol;
    return encodeLine(QStringLiteral("\r\n")).value_or(QByteArrayLiteral("\r\n"));
}

bool ProfileFile::set(const QString &sectionName, const QString &key, const QString &value,
                      QString *firstBad) {
    const QString section = sectionName.trimmed();
    const QString name = key.trimmed();
    qsizetype header = -1;
    qsizetype insertAt = -1;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (const auto h = headerName(m_lines[i].text)) {
            if (header >= 0)
                break;
            if (sameName(*h, section))
                header = insertAt = i;
            continue;
        }
        if (header < 0)
            continue;
        const auto k = keyLine(m_lines[i].text);
        if (!k)
            continue;
        insertAt = i;
        if (!sameName(k->key, name))
            continue;
        if (k->value == value)
            return false;
        // Keep the key and the spacing the file has; only the value is written anew.
        const QString text = m_lines[i].text.left(k->valueStart) + value;
        const auto raw = encodeLine(text, firstBad);
        if (!raw)
            return false;
        m_lines[i].raw = *raw;
        m_lines[i].text = text;
        return true;
    }

    QList<Line> added;
    const QByteArray eol = newLineEnding();
    if (header < 0)
        added.append({QByteArray(), eol, QLatin1Char('[') + section + QLatin1Char(']')});
    added.append({QByteArray(), eol, name + QLatin1Char('=') + value});
    for (Line &line : added) {
        const auto raw = encodeLine(line.text, firstBad);
        if (!raw)
            return false;
        line.raw = *raw;
    }
    if (header < 0)
        insertAt = m_lines.size() - 1;
    // The line we append after needs an ending of its own.
    if (insertAt >= 0 && m_lines[insertAt].eol.isEmpty())
        m_lines[insertAt].eol = eol;
    for (qsizetype k = 0; k < added.size(); ++k)
        m_lines.insert(insertAt + 1 + k, added[k]);
    return true;
}

QByteArray ProfileFile::bytes() const {
    QByteArray out = bomOf(m_encoding);
    for (const Line &line : m_lines)
        out += line.raw + line.eol;
    return out + m_trailing;
}

QString GetPrivateProfileString(const QString &section, const QString &key,
                                const QString &defaultValue, int size, const QString &fileName) {
    return ProfileFile::read(fileName).section(section).value(key, defaultValue, size);
}

bool WritePrivateProfileString(const QString &section, const QString &key, const QString &value,
                               const QString &fileName, QString *error) {
    if (QFile::exists(fileName)) {
        QFile probe(fileName);
        if (!probe.open(QIODevice::ReadOnly)) {
            if (error)
                *error = QStringLiteral("无法读取文件 %1：%2")
                             .arg(fileName, LibraryErrorText(probe.errorString()));
            return false;
        }
    }
    ProfileFile file = ProfileFile::read(fileName);
    QString bad;
    if (!file.set(section, key, value, &bad)) {
        if (!bad.isEmpty()) {
            if (error)
                *error = text::unencodableMessage(fileName, bad);
            return false;
        }
        // Already so; a missing file is still created, as the system call does.
        if (file.exists())
            return true;
    }
    QSaveFile out(fileName);
    if (!out.open(QIODevice::WriteOnly) || out.write(file.bytes()) < 0 || !out.commit()) {
        if (error)
            *error = QStringLiteral("无法写入文件 %1：%2")
                         .arg(fileName, LibraryErrorText(out.errorString()));
        return false;
    }
    return true;
}

} // namespace qen
