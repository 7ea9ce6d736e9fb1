#pragma once

// Builds the small archives and pages the opening tests need, so that every fixture is made
// by the test that checks it and named after what it checks.

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>
#include <vector>
#include <zip.h>

namespace fixture {

inline QByteArray gbk(const QString &text) {
    return QStringEncoder("GBK").encode(text);
}

struct Entry {
    QByteArray name; // raw bytes as stored
    QByteArray data;
    bool utf8 = false; // general-purpose bit 11
    bool deflate = false;
    bool setAttributes = false;
    zip_uint8_t opsys = ZIP_OPSYS_UNIX;
    zip_uint32_t attributes = 0;
};

inline Entry file(const QByteArray &name, const QByteArray &data = "page") {
    Entry e;
    e.name = name;
    e.data = data;
    return e;
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

// Writes the archive; the comment is stored as raw bytes.
inline bool writeZip(const QString &path, const std::vector<Entry> &entries,
                     const QByteArray &comment = QByteArray()) {
    QFile::remove(path);
    int err = 0;
    zip_t *za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!za)
        return false;
    // The buffers must outlive zip_close.
    std::vector<QByteArray> keep;
    for (const Entry &e : entries) {
        keep.push_back(e.data);
        zip_source_t *src =
            zip_source_buffer(za, keep.back().constData(), zip_uint64_t(keep.back().size()), 0);
        const zip_flags_t enc = e.utf8 ? ZIP_FL_ENC_UTF_8 : ZIP_FL_ENC_RAW;
        const zip_int64_t idx = e.name.endsWith('/')
                                    ? zip_dir_add(za, e.name.constData(), enc)
                                    : zip_file_add(za, e.name.constData(), src, enc);
        if (idx < 0) {
            zip_source_free(src);
            zip_discard(za);
            return false;
        }
        if (e.name.endsWith('/'))
            zip_source_free(src);
        else
            zip_set_file_compression(za, zip_uint64_t(idx),
                                     e.deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, e.deflate ? 9 : 0);
        if (e.setAttributes)
            zip_file_set_external_attributes(za, zip_uint64_t(idx), 0, e.opsys, e.attributes);
    }
    if (zip_close(za) != 0)
        return false;
    if (!comment.isEmpty()) {
        // libzip insists on a UTF-8 or CP437 comment; packages carry GBK, so it goes in here.
        QFile f(path);
        if (!f.open(QIODevice::ReadWrite))
            return false;
        QByteArray bytes = f.readAll();
        const qsizetype end = bytes.lastIndexOf("PK\x05\x06");
        if (end < 0)
            return false;
        bytes.truncate(end + 22);
        bytes[end + 20] = char(comment.size() & 0xFF);
        bytes[end + 21] = char(comment.size() >> 8);
        bytes += comment;
        f.seek(0);
        f.write(bytes);
        f.resize(bytes.size());
    }
    return true;
}

// One stored entry written byte by byte, for headers libzip will not write itself (it keeps
// the Info-ZIP Unicode path field for its own use).
inline QByteArray handMadeZip(const QByteArray &name, const QByteArray &data,
                              const QByteArray &extra) {
    auto le16 = [](QByteArray &b, quint16 v) {
        b.append(char(v & 0xFF));
        b.append(char(v >> 8));
    };
    auto le32 = [&](QByteArray &b, quint32 v) {
        le16(b, quint16(v & 0xFFFF));
        le16(b, quint16(v >> 16));
    };
    const quint32 crc = crc32(data);
    QByteArray local("PK\x03\x04", 4);
    le16(local, 20);
    le16(local, 0);
    le16(local, 0);
    le32(local, 0);
    le32(local, crc);
    le32(local, quint32(data.size()));
    le32(local, quint32(data.size()));
    le16(local, quint16(name.size()));
    le16(local, quint16(extra.size()));
    local += name + extra + data;
    QByteArray central("PK\x01\x02", 4);
    le16(central, 0x031E);
    le16(central, 20);
    le16(central, 0);
    le16(central, 0);
    le32(central, 0);
    le32(central, crc);
    le32(central, quint32(data.size()));
    le32(central, quint32(data.size()));
    le16(central, quint16(name.size()));
    le16(central, quint16(extra.size()));
    le16(central, 0);
    le16(central, 0);
    le16(central, 0);
    le32(central, quint32(0100644) << 16);
    le32(central, 0);
    central += name + extra;
    QByteArray end("PK\x05\x06", 4);
    le16(end, 0);
    le16(end, 0);
    le16(end, 1);
    le16(end, 1);
    le32(end, quint32(central.size()));
    le32(end, quint32(local.size()));
    le16(end, 0);
    return local + central + end;
}

// The Info-ZIP Unicode path extra field for a raw name.
inline QByteArray unicodePathField(const QByteArray &rawName, const QByteArray &utf8Name) {
    QByteArray body;
    body.append(char(1));
    const quint32 crc = crc32(rawName);
    for (int k = 0; k < 4; ++k)
        body.append(char((crc >> (8 * k)) & 0xFF));
    body += utf8Name;
    QByteArray field("\x75\x70", 2);
    field.append(char(body.size() & 0xFF));
    field.append(char(body.size() >> 8));
    return field + body;
}

inline QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeAll(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

// Sets a 16-bit field in every local and central header of the archive (fixtures hold one
// entry when they use this): the general-purpose flags or the method.
enum class Field { Flags, Method };
inline void patchHeaders(const QString &path, Field field, quint16 value, bool orBits = false) {
    QByteArray bytes = readAll(path);
    auto patch = [&](qsizetype at) {
        quint16 old = quint8(bytes[at]) | quint16(quint8(bytes[at + 1])) << 8;
        const quint16 v = orBits ? quint16(old | value) : value;
        bytes[at] = char(v & 0xFF);
        bytes[at + 1] = char(v >> 8);
    };
    for (qsizetype i = 0; (i = bytes.indexOf("PK\x03\x04", i)) >= 0; i += 4)
        patch(i + (field == Field::Flags ? 6 : 8));
    for (qsizetype i = 0; (i = bytes.indexOf("PK\x01\x02", i)) >= 0; i += 4)
        patch(i + (field == Field::Flags ? 8 : 10));
    writeAll(path, bytes);
}

// A small bilevel page as a CCITT G4 TIFF, the way scans are delivered.
inline QByteArray g4Tiff(int width = 120, int height = 80) {
    const QString path =
        QStringLiteral("%1/fixture-%2.tif")
            .arg(QString::fromLocal8Bit(qgetenv("TMPDIR").isEmpty() ? QByteArray("/tmp")
                                                                    : qgetenv("TMPDIR")))
            .arg(getpid());
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return QByteArray();
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(height));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    std::vector<unsigned char> row(size_t((width + 7) / 8));
    for (int y = 0; y < height; ++y) {
        for (size_t x = 0; x < row.size(); ++x)
            row[x] = (y / 8 + int(x)) % 3 == 0 ? 0xF0 : 0x00;
        TIFFWriteScanline(tif, row.data(), uint32_t(y), 0);
    }
    TIFFClose(tif);
    const QByteArray bytes = readAll(path);
    QFile::remove(path);
    return bytes;
}

// A WWP page of the kind our decoder reads: a vendor header, then the image stream.
inline QByteArray wwpPage(const QByteArray &image = g4Tiff()) {
    QByteArray header("WWP\x1a\x02\x00", 6);
    header.append(QByteArray(122, '\x07'));
    return header + image;
}

} // namespace fixture
