#pragma once

#include <QString>
#include <QStringList>

// The hand-over file carries a second copy's command line to the running copy. It holds one
// line of UTF-8 ended by CR LF; the running copy reads it, deletes it, then opens the name
// (or the NUL-separated names).
namespace qen::handover {

// The program's arguments joined by single spaces; quotes stay until the opener strips them.
// Several arguments that are each an existing file, while their joined text is not, become
// a NUL-separated list of their absolute names instead.
QString commandLine(const QStringList &arguments);

// Writes the line (nothing for an empty command line). False when it could not be written.
bool write(const QString &file, const QString &line);

// Reads the first line and deletes the file before returning, so a nested check finds
// nothing. Junk (binary bytes, invalid UTF-8, a line longer than any path) gives "".
QString take(const QString &file);

} // namespace qen::handover
