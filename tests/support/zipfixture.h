#pragma once

// Builds the archives and pages the opening tests need, so every fixture is made by the test
// that checks it and named after what it checks.

#include "testfiles.h"

#include <QDataStream>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryFile>
#include <tiffio.h>
#include <vector>
#include <zip.h>

namespace fixture {

using qen::test::gbk;
inline QByteArray readAll(const QString &path) {
    return qen::test::readFile(path);
}
inline void writeAll(const QString &path, const QByteArray &bytes) {
    qen::test::writeFile(path, bytes);
}

struct Entry {
    QByteArray name; // raw bytes as stored; a trailing "/" makes a folder
    QByteArray data = "page";
    bool utf8 = false; // general-purpose bit 11
    bool deflate = false;
    zip_uint8_t opsys = ZIP_OPSYS_UNIX;
    zip_uint32_t attributes = 0; // external attributes; 0 leaves libzip's default
};

inline Entry file(const QByteArray &name, const QByteArray &data = "page") {
    return Entry{name, data};
}

inline Entry withAttributes(Entry e, zip_uint8_t opsys, zip_uint32_t attributes) {
    e.opsys = opsys;
    e.attributes = attributes;
    return e;
}

// Writes the archive with libzip; the comment goes in as raw bytes (libzip itself only takes
// UTF-8 or CP437 comments, packages carry GBK).
inline bool writeZip(const QString &path, const std::vector<Entry> &entries,
                     const QByteArray &comment = QByteArray()) {
    int err = 0;
    zip_t *za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!za)
        return false;
    for (const Entry &e : entries) {
        const zip_flags_t enc = e.utf8 ? ZIP_FL_ENC_UTF_8 : ZIP_FL_ENC_RAW;
        zip_int64_t idx;
        if (e.name.endsWith('/')) {
            idx = zip_dir_add(za, e.name.constData(), enc);
        } else {
            zip_source_t *src =
                zip_source_buffer(za, e.data.constData(), zip_uint64_t(e.data.size()), 0);
            idx = zip_file_add(za, e.name.constData(), src, enc);
            zip_set_file_compression(za, zip_uint64_t(idx),
                                     e.deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
        }
        if (e.attributes)
            zip_file_set_external_attributes(za, zip_uint64_t(idx), 0, e.opsys, e.attributes);
    }
    if (zip_close(za) != 0)
        return false;
    if (!comment.isEmpty()) {
        QByteArray bytes = readAll(path);
        const qsizetype end = bytes.lastIndexOf("PK\x05\x06");
        bytes.truncate(end + 20);
        bytes.append(char(comment.size() & 0xFF));
        bytes.append(char(comment.size() >> 8));
        writeAll(path, bytes + comment);
    }
    return true;
}

inline quint32 crc32(const QByteArray &bytes) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char ch : bytes) {
        crc ^= quint8(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// One entry written header by header, for what libzip will not write: the Info-ZIP Unicode
// path field, sizes that claim what the data is not, data compressed elsewhere.
struct RawEntry {
    QByteArray name;
    QByteArray data = "page"; // as stored (compressed when method is 8)
    quint16 method = 0;
    quint32 crc = 0;
    quint32 size = 0; // uncompressed
    QByteArray extra;
    quint32 externalAttributes = 0100644u << 16;
};

inline QByteArray rawZip(const RawEntry &entry) {
    QByteArray local, central, end;
    QDataStream l(&local, QIODevice::WriteOnly), c(&central, QIODevice::WriteOnly),
        e(&end, QIODevice::WriteOnly);
    for (QDataStream *s : {&l, &c, &e})
        s->setByteOrder(QDataStream::LittleEndian);
    const auto n = quint16(entry.name.size()), xn = quint16(entry.extra.size());
    const auto packed = quint32(entry.data.size());
    l << quint32(0x04034b50) << quint16(20) << quint16(0) << entry.method << quint32(0) << entry.crc
      << packed << entry.size << n << xn;
    local += entry.name + entry.extra + entry.data;
    c << quint32(0x02014b50) << quint16(0x031E) << quint16(20) << quint16(0) << entry.method
      << quint32(0) << entry.crc << packed << entry.size << n << xn << quint16(0) << quint16(0)
      << quint16(0) << entry.externalAttributes << quint32(0);
    central += entry.name + entry.extra;
    e << quint32(0x06054b50) << quint16(0) << quint16(0) << quint16(1) << quint16(1)
      << quint32(central.size()) << quint32(local.size()) << quint16(0);
    return local + central + end;
}

// One stored entry carrying the Info-ZIP Unicode path field, which libzip will not write.
inline QByteArray zipWithUnicodePath(const QByteArray &rawName, const QByteArray &utf8Name) {
    QByteArray extra;
    QDataStream x(&extra, QIODevice::WriteOnly);
    x.setByteOrder(QDataStream::LittleEndian);
    x << quint16(0x7075) << quint16(5 + utf8Name.size()) << quint8(1) << crc32(rawName);
    extra += utf8Name;
    RawEntry entry{rawName};
    entry.crc = crc32(entry.data);
    entry.size = quint32(entry.data.size());
    entry.extra = extra;
    return rawZip(entry);
}

// Sets the general-purpose flags (offset 6 in a local header, 8 in a central one) or the
// method (8 and 10) in every header of a one-entry archive.
inline void patchHeaders(const QString &path, int localOffset, quint16 value, bool orBits) {
    QByteArray bytes = readAll(path);
    auto patch = [&](qsizetype at) {
        quint16 v = quint8(bytes[at]) | quint16(quint8(bytes[at + 1])) << 8;
        v = orBits ? quint16(v | value) : value;
        bytes[at] = char(v & 0xFF);
        bytes[at + 1] = char(v >> 8);
    };
    for (qsizetype i = 0; (i = bytes.indexOf("PK\x03\x04", i)) >= 0; i += 4)
        patch(i + localOffset);
    for (qsizetype i = 0; (i = bytes.indexOf("PK\x01\x02", i)) >= 0; i += 4)
        patch(i + localOffset + 2);
    writeAll(path, bytes);
}

// A small bilevel page as a CCITT G4 TIFF, the way scans are delivered: black at (0..3, 0..7),
// white at (4, 0).
inline QByteArray g4Tiff(int width = 120, int height = 80) {
    QTemporaryFile scratch;
    scratch.open();
    TIFF *tif = TIFFOpen(QFile::encodeName(scratch.fileName()).constData(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(height));
    std::vector<unsigned char> row(size_t((width + 7) / 8));
    for (int y = 0; y < height; ++y) {
        for (size_t x = 0; x < row.size(); ++x)
            row[x] = (y / 8 + int(x)) % 3 == 0 ? 0xF0 : 0x00;
        TIFFWriteScanline(tif, row.data(), uint32_t(y), 0);
    }
    TIFFClose(tif);
    return scratch.readAll();
}

// A WWP page of the kind our decoder reads: a vendor header, then the image stream.
inline QByteArray wwpPage(const QByteArray &image = g4Tiff()) {
    return QByteArray("WWP\x1a\x02\x00", 6) + QByteArray(122, '\x07') + image;
}

} // namespace fixture
