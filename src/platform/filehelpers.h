#pragma once

#include <QString>

// Shared file-system tests and path cutting. The string helpers compare characters exactly
// and never normalise; their behaviour at the edges (no dot, no separator, empty input)
// decides how odd names are treated everywhere else. "/" is the separator.
namespace qen {

bool FolderExists(const QString &path);
bool FileExists(const QString &path);
// Who may enter a folder made here. Working folders (unpacked packages, temporary files) stay
// the owner's; a folder made among the user's own files, where the user asked for it, is
// opened as far as the user's umask allows, as any program's would be.
enum class FolderAccess { OwnerOnly, AsUmask };
// Creates one folder whose parent exists. Every failure, "already there" included, is false.
bool CreateFolder(const QString &path, FolderAccess access = FolderAccess::OwnerOnly);

// These throw qen::Error with a description naming the file and the system's reason.
void MoveFile(const QString &source, const QString &target);
// With `durable`, the copy is on the disk before it takes the target's name, so that a crash
// or power cut cannot leave an empty file where the user's good one was; for files written
// into the user's own folders.
void CopyFile(const QString &source, const QString &target, bool overwrite, bool durable = false);
void EmptyFolder(const QString &folder);

// Makes a file writable by its owner so it can be replaced or deleted. A symbolic link is
// left as it is: changing it would change whatever it points to.
void MakeWritable(const QString &path);

QString PopToken(QString &text, const QString &separator);
QString GetFileExt(const QString &path);
// Leaves both outputs alone for an empty path.
void SplitPath(const QString &path, QString &fileName, QString &folder);
QString GetBaseName(const QString &path);
QString ParseFileList(QString &dialogResult);
void GetPaperSize(int paperCode, double &width, double &height);

} // namespace qen
