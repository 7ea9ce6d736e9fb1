#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>

#include "platform/textcodec.h"

// INI files read and written the way the Windows profile-string calls do it, on the points
// the program and hand-edited settings files depend on: GBK text (or UTF-8/UTF-16 when the
// file says so), section and key compared without regard to case, whitespace trimmed around
// keys and values, matching quotes stripped, ";" only a comment at the start of a line, the
// value cut to the caller's buffer size less one. Writing changes one line, or appends one,
// and leaves every other byte as it was; the file is replaced atomically.
namespace qen {

// One section's keys, looked up many times after one read of the file.
class ProfileSection {
public:
    // The value cut to at most size - 1 bytes as the system code page holds it (a
    // double-byte character is never split); the default is cut the same way.
    QString value(const QString &key, const QString &defaultValue, int size) const;
    bool contains(const QString &key) const { return m_values.contains(key.toCaseFolded()); }

private:
    friend class ProfileFile;
    QHash<QString, QString> m_values; // case-folded key -> value, first occurrence wins
};

class ProfileFile {
public:
    // A missing or unreadable file reads as empty.
    static ProfileFile read(const QString &path);

    bool exists() const { return m_exists; }
    // The first section of this name; a later duplicate is never consulted.
    ProfileSection section(const QString &name) const;

    // Sets key = value in the section, appending the key to the first section of that name
    // or a new section to the end. False when nothing changes, or when the text cannot be
    // held in the file's encoding: *firstBad then names the character.
    bool set(const QString &section, const QString &key, const QString &value,
             QString *firstBad = nullptr);
    QByteArray bytes() const;

private:
    struct Line {
        QByteArray raw; // without the line ending
        QByteArray eol; // "\r\n", "\n", "\r" or "" for a last line without one
        QString text;   // decoded
    };
    std::optional<QByteArray> encodeLine(const QString &text, QString *firstBad = nullptr) const;
    QByteArray newLineEnding() const;

    QList<Line> m_lines;
    QByteArray m_trailing; // an odd last byte of a UTF-16 file
    text::Encoding m_encoding = text::Encoding::Gbk;
    bool m_exists = false;
};

// The two calls as the program uses them. GetPrivateProfileString returns the value (or the
// default) already cut to size - 1; WritePrivateProfileString is false when the file could not
// be written, and leaves it as it was.
QString GetPrivateProfileString(const QString &section, const QString &key,
                                const QString &defaultValue, int size, const QString &fileName);
bool WritePrivateProfileString(const QString &section, const QString &key, const QString &value,
                               const QString &fileName, QString *error = nullptr);

} // namespace qen
