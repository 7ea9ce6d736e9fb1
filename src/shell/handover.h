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

// What a second copy hands over: the named file without its quotes, made absolute against
// the folder that copy was started in (the running copy works in another). Empty when the
// command line names nothing.
QString absoluteCommandLine(const QString &line, const QString &currentDir);

// Writes the line (nothing for an empty command line) when no running copy took it over the
// socket. A hand-over file that is still waiting to be read is never replaced: this waits up
// to waitMs for it to be taken. False when the line could not be placed.
bool write(const QString &file, const QString &line, int waitMs = 5000);

// Reads the first line and deletes the file before returning, so a nested check finds
// nothing. Junk (binary bytes, invalid UTF-8, a line longer than any path) gives "".
QString take(const QString &file);

} // namespace qen::handover
