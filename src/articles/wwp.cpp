#include "articles/wwp.h"

#include "articles/imagedocument.h"
#include "platform/error.h"
#include "platform/filehelpers.h"
#include "platform/profilestring.h"
#include "platform/workfolders.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <cstring>
#include <sys/stat.h>
#include <tiffio.h>
#include <vector>

namespace qen {

namespace {

// The decoder looks for the wrapped stream this far into the file.
constexpr qsizetype SignatureWindow = 64 * 1024;
// WWP pages are scans of a few hundred KB; anything far larger is not one.
constexpr qint64 MaxWwpSize = qint64(256) << 20;

enum class Kind { Tiff, Jpeg, Png, Gif, Bmp };

struct Candidate {
    qsizetype offset;
    Kind kind;
};

std::vector<Candidate> findStreams(const QByteArray &data) {
    std::vector<Candidate> found;
    const qsizetype limit = std::min(data.size(), SignatureWindow);
    const auto *d = reinterpret_cast<const unsigned char *>(data.constData());
    const qsizetype n = data.size();
    for (qsizetype i = 0; i < limit; ++i) {
        const qsizetype left = n - i;
        if (left >= 8 && ((d[i] == 'I' && d[i + 1] == 'I' && d[i + 2] == 42 && d[i + 3] == 0) ||
                          (d[i] == 'M' && d[i + 1] == 'M' && d[i + 2] == 0 && d[i + 3] == 42)))
            found.push_back({i, Kind::Tiff});
        else if (left >= 4 && d[i] == 0xFF && d[i + 1] == 0xD8 && d[i + 2] == 0xFF)
            found.push_back({i, Kind::Jpeg});
        else if (left >= 8 && std::memcmp(d + i, "\x89PNG\r\n\x1a\n", 8) == 0)
            found.push_back({i, Kind::Png});
        else if (left >= 6 &&
                 (std::memcmp(d + i, "GIF87a", 6) == 0 || std::memcmp(d + i, "GIF89a", 6) == 0))
            found.push_back({i, Kind::Gif});
        else if (left >= 26 && d[i] == 'B' && d[i + 1] == 'M') {
            // "BM" alone turns up by chance; a real bitmap header names a known DIB size.
            const unsigned dib =
                d[i + 14] | d[i + 15] << 8 | d[i + 16] << 16 | unsigned(d[i + 17]) << 24;
            if (dib == 12 || dib == 40 || dib == 52 || dib == 56 || dib == 108 || dib == 124)
                found.push_back({i, Kind::Bmp});
        }
    }
    return found;
}

void quietTiffHandler(const char *, const char *, va_list) {}

bool writeBytes(const QString &path, const char *data, qsizetype size) {
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool ok = out.write(data, size) == size && out.flush();
    out.close();
    return ok;
}

void removeQuietly(const QString &path) {
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    MakeWritable(path);
    QFile::remove(path);
}

} // namespace

bool IsReadableTiff(const QString &path) {
    const TIFFErrorHandler oldError = TIFFSetErrorHandler(quietTiffHandler);
    const TIFFErrorHandler oldWarning = TIFFSetWarningHandler(quietTiffHandler);
    bool ok = false;
    if (TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "r")) {
        uint32_t w = 0, h = 0;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
        ok = w > 0 && h > 0 && TIFFNumberOfStrips(tif) + TIFFNumberOfTiles(tif) > 0;
        TIFFClose(tif);
    }
    TIFFSetErrorHandler(oldError);
    TIFFSetWarningHandler(oldWarning);
    return ok;
}

WwpDecoder::WwpDecoder(const WorkFolders &folders) : m_folders(folders) {}

bool WwpDecoder::decodeWrapped(const QString &wwpPath, const QString &tiffPath) {
    QFile in(wwpPath);
    if (!in.open(QIODevice::ReadOnly) || in.size() > MaxWwpSize)
        return false;
    const QByteArray data = in.readAll();
    in.close();
    for (const Candidate &c : findStreams(data)) {
        const char *stream = data.constData() + c.offset;
        const qsizetype size = data.size() - c.offset;
        if (c.kind == Kind::Tiff) {
            // Offsets inside a TIFF count from its own header, so the wrapped stream is a
            // complete TIFF file as it stands: copied, not re-encoded.
            if (writeBytes(tiffPath, stream, size) && IsReadableTiff(tiffPath))
                return true;
            removeQuietly(tiffPath);
            continue;
        }
        // Through the page reader's checks: a wrapped stream can declare sizes or chunks as
        // far beyond its bytes as any page file.
        QString error;
        const QImage image = ImageDocument::decode(QByteArray::fromRawData(stream, size), &error);
        if (image.isNull())
            continue;
        try {
            // Two-colour pages become G4 like any scan, everything else LZW.
            ImageDocument::writeFile(image, tiffPath, ImageFileType::Tiff);
            return true;
        } catch (const Error &) {
            removeQuietly(tiffPath);
        }
    }
    return false;
}

QString WwpDecoder::converterCommand() const {
    if (!m_converter.isNull())
        return m_converter;
    return GetPrivateProfileString(QStringLiteral("WWP"), QStringLiteral("Decoder"), QString(),
                                   4096, m_folders.setting() + QStringLiteral("/Qen.ini"));
}

bool WwpDecoder::runConverter(const QString &command, const QString &wwpPath,
                              const QString &tiffPath) const {
    QStringList args = QProcess::splitCommand(command);
    if (args.isEmpty())
        return false;
    for (QString &arg : args) {
        // One pass, so a path that itself holds "%2" is not substituted again.
        QString out;
        for (qsizetype i = 0; i < arg.size(); ++i) {
            if (arg.at(i) == QLatin1Char('%') && i + 1 < arg.size() &&
                (arg.at(i + 1) == QLatin1Char('1') || arg.at(i + 1) == QLatin1Char('2'))) {
                out += arg.at(i + 1) == QLatin1Char('1') ? wwpPath : tiffPath;
                ++i;
            } else {
                out += arg.at(i);
            }
        }
        arg = out;
    }
    const QString program = args.takeFirst();
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, args);
    if (!process.waitForStarted(m_timeoutMs))
        return false;
    if (!process.waitForFinished(m_timeoutMs)) {
        process.kill();
        process.waitForFinished(2000);
        removeQuietly(tiffPath);
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 ||
        !IsReadableTiff(tiffPath)) {
        removeQuietly(tiffPath);
        return false;
    }
    return true;
}

bool WwpDecoder::decode(const QString &wwpPath, const QString &tiffPath) const {
    if (decodeWrapped(wwpPath, tiffPath))
        return true;
    const QString command = converterCommand();
    return !command.trimmed().isEmpty() && runConverter(command, wwpPath, tiffPath);
}

QString WwpDecoder::decodeWrappedInto(const QString &wwpPath, const QTemporaryDir &scratch,
                                      const QString &name) {
    if (!scratch.isValid())
        return {};
    const QString tiff = scratch.filePath(name);
    return decodeWrapped(wwpPath, tiff) ? tiff : QString();
}

bool WwpDecoder::WwpToTiff(const QString &wwpPath, const QString &tiffPath) const {
    QString copy;
    QString raw;
    bool copied = false;
    try {
        m_folders.ensure(m_folders.temp());
        QString fileName, folder;
        SplitPath(wwpPath, fileName, folder);
        if (fileName.size() < 3)
            return false;
        copy = m_folders.temp() + QLatin1Char('/') + fileName;
        // The extension is replaced by position: "p001.wwp" gives "p001.tif".
        raw = m_folders.temp() + QLatin1Char('/') + fileName.left(fileName.size() - 3) +
              QStringLiteral("tif");
        // A page that already lies in Temp is decoded where it is; deleting "the copy"
        // afterwards would delete the page itself.
        const bool inPlace =
            QFileInfo(wwpPath).canonicalFilePath() == QFileInfo(copy).canonicalFilePath();
        if (!inPlace) {
            CopyFile(wwpPath, copy, true);
            copied = true;
        }
        if (raw == copy)
            throw Error(QString());
        removeQuietly(raw);
        if (!decode(inPlace ? wwpPath : copy, raw))
            throw Error(QString());
        if (raw != tiffPath)
            MoveFile(raw, tiffPath);
        if (copied)
            removeQuietly(copy);
        return true;
    } catch (const Error &) {
        // Scratch files are ours; the caller's TIFF path is left alone.
        if (copied)
            removeQuietly(copy);
        if (!raw.isEmpty() && raw != tiffPath && raw != wwpPath)
            removeQuietly(raw);
        return false;
    }
}

} // namespace qen
