#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace qen {

class WorkFolders;

// A fresh folder under Temp named from the instance number and the base name, with a counter
// appended when the plain name is taken ("…report", "…report0", "…report1", …). The folder
// did not exist before the call, so two openings of one package never mix files.
QString GetWorkFolder(const WorkFolders &folders, const QString &baseName);

// The raw title of a package from its archive comment: the text after the comment's last
// NUL once trailing NULs are dropped, or the whole comment when it holds none; GBK unless it
// is plainly CJK UTF-8. A package without a comment (or one of nothing but NULs) is titled
// with its file name without the extension.
QString PackageTitle(const QByteArray &comment, const QString &packagePath);

// Trailing blanks, the characters : " \ / < > ? | * and a few control codes removed, then cut
// to 50 characters. Leading blanks stay.
QString CleanPackageTitle(const QString &rawTitle);

// What the extraction wrote: top-level page candidates are found later by listing the folder.
struct ExtractResult {
    QString title; // cleaned
    qint64 bytesWritten = 0;
    int filesWritten = 0;
};

struct ExtractOptions {
    // Refuses packages that would unpack to more than this (a zip bomb).
    qint64 maxTotalBytes = qint64(2) << 30;
    int maxEntries = 100000;
    // Called once the archive is unpacked, before the title is cleaned (the message loop gets
    // a turn while a large package was being written).
    std::function<void()> yield;
};

// Unpacks the package into the (existing, empty) folder and returns its cleaned title.
// Throws qen::Error naming the package and what is wrong when the package cannot be read or
// holds an entry that is not safe to write; nothing it wrote is then left in the folder.
ExtractResult ExtractPackage(const QString &packagePath, const QString &targetFolder,
                             const ExtractOptions &options = {});

// Page discovery: the folder's plain files whose names do not begin with "." (no descent into
// sub-folders), in the order the file system returns them.
QStringList ListPageFiles(const QString &folder);
bool IsFolderEmpty(const QString &folder);

// Ascending by UTF-16 code unit: "p10" before "p2", upper case before lower case.
void SortFileNames(QStringList &names);

} // namespace qen
