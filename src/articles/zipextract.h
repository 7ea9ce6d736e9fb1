#pragma once

#include "articles/pagefile.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace qen {

struct ZipLimits {
    qint64 maxTotalBytes = qint64(2) << 30;
    // No entry may be larger than a page can be: the image view refuses bigger files anyway,
    // and a single huge entry is the classic zip bomb.
    qint64 maxEntryBytes = pagefile::MaxBytes;
    // Left free on the work folder's file system, so that unpacking a package never fills
    // the disk the rest of the desktop needs.
    qint64 reserveBytes = qint64(64) << 20;
    int maxEntries = 100000;
};

struct ZipExtractStats {
    qint64 bytesWritten = 0;
    int filesWritten = 0;
    int entriesSkipped = 0; // marked hidden or system by the archive
    QByteArray comment;     // the archive comment as stored; empty when there is none
};

// Writes the archive's files and sub-folders into the folder, which must exist. Only what is
// safe is written: entry names are decoded as GBK unless the archive marks them UTF-8 or they
// are plainly CJK UTF-8 (text::isCjkUtf8), and no entry may reach outside the folder, be a
// link or a device, be encrypted, use a method we cannot unpack, fail its checksum or be
// larger than a page can be, and the whole may not pass the total limit or the free space
// of the folder's disk. Sizes are checked as the archive declares them before anything is
// written, and as they really come out while writing. Any of these throws qen::Error naming
// the archive (and the entry), after removing everything written so far.
// Entries the archive marks hidden or system are left out; they are never pages.
ZipExtractStats ExtractZip(const QString &zipPath, const QString &folder,
                           const ZipLimits &limits = {});

// The entry name as it is written, "\" taken as a separator. `utf8`: flagged UTF-8, carrying
// the Info-ZIP Unicode path field, or plainly CJK UTF-8; otherwise GBK.
QString DecodeEntryName(const QByteArray &raw, bool utf8);

} // namespace qen
