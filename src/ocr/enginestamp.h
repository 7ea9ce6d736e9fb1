#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The engine's version, kept beside the text cache with the library files it was read from.
// Every cache key holds the version, and asking the engine for it means loading the engine:
// longer than copying a whole article into a PDF. A command that only reads what the cache
// holds takes the version from here, and only while each file is still the one that was
// loaded (same file, size and time): a new engine or library makes the version unknown, and
// the engine is loaded and asked again.
namespace qen::ocr {

// The recognition library's file name.
QString libraryFileName();
// Where the library is looked for, in this order: beside the executable (a build tree, a
// portable copy), then the folder it is installed to.
QStringList librarySearchPaths(const QString &executableDir);

} // namespace qen::ocr

namespace qen::ocr::enginestamp {

// The stamp's file in the cache folder.
QString path(const QString &cacheFolder);

// One library as it lay on the disk: its path with its device, inode, size and modification
// time, as one line.
QString identityOf(const QString &file);

// The libraries of the engine loaded into this process: ours and those it brought in.
QStringList loadedEngineLibraries();

// Writes the stamp (atomically, and only when it changes) for `version` read from `libraries`.
// Failure leaves the stamp out, which costs only the engine's loading later.
void record(const QString &cacheFolder, const QString &version, const QStringList &libraries);

// The version recorded, when the stamp is whole, names `library` (the one this process would
// load) as the first of its files, and every file it names is still as it was.
std::optional<QString> recorded(const QString &cacheFolder, const QString &library);

} // namespace qen::ocr::enginestamp
