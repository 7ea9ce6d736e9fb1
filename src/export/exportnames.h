#pragma once

#include <QSet>
#include <QString>

// Names for what saving and export write into a folder the user chose. Titles come from
// package comments and file names, so they may hold anything; what we write must stay one
// file or folder inside the chosen folder, and one command never writes two things under
// the same name.
namespace qen::exportnames {

// A title made usable as one path component: '/', NUL and other control characters become
// '_', blanks at either end go, and a name that is empty, "." or ".." becomes the fallback.
// Long titles are cut (at a character boundary) so that a suffix still fits the 255-byte
// limit of a Linux file name.
QString safeComponent(const QString &title, const QString &fallback);

// Hands out each name once per run: a name claimed before comes back as "name (2).ext",
// "name (3).ext", ... (compared as the file system does, case-sensitively).
class NameClaims {
public:
    QString claim(const QString &name);
    bool claimed(const QString &name) const { return m_taken.contains(name); }

private:
    QSet<QString> m_taken;
};

} // namespace qen::exportnames
