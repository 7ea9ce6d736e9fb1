#pragma once

#include <QString>
#include <QtGlobal>

namespace qen {

struct ZipLimits {
    qint64 maxTotalBytes = qint64(2) << 30;
    int maxEntries = 100000;
};

struct ZipExtractStats {
    qint64 bytesWritten = 0;
    int filesWritten = 0;
    int entriesSkipped = 0; // marked hidden or system by the archive
};

// Writes the archive's files and sub-folders into the folder, which must exist. Only what is
// safe is written: entry names are decoded as GBK unless the archive marks them UTF-8, and
// no entry may reach outside the folder, be a link or a device, be encrypted, use a method
// we cannot unpack, fail its checksum or push the total past the limit. Any of these throws
// qen::Error naming the archive and the entry, after removing everything written so far.
// Entries the archive marks hidden or system are left out; they are never pages.
ZipExtractStats ExtractZip(const QString &zipPath, const QString &folder,
                           const ZipLimits &limits = {});

// The entry name as it is written: GBK unless flagged UTF-8 (or carrying the Info-ZIP
// Unicode path field), "\" taken as a separator. Exposed for the tests.
QString DecodeEntryName(const QByteArray &raw, bool utf8);

} // namespace qen
