#pragma once

#include <QString>

class QTemporaryDir;

namespace qen {

class WorkFolders;

// Turns WWP pages into TIFF files the image view can load. Our own decoder reads the WWP
// variants that wrap a standard image stream; for the others the user may name a converter
// command in the settings.
class WwpDecoder {
public:
    explicit WwpDecoder(const WorkFolders &folders);

    // A command line with %1 for the WWP path and %2 for the TIFF path; empty for none.
    // Each argument is substituted on its own, so paths with blanks need no quoting. Unless
    // one is set here, the command is read from Setting/Qen.ini ([WWP] Decoder=) each time our
    // own decoder cannot read a page, so a converter named while the program runs is used.
    void setConverterCommand(const QString &command) { m_converter = command; }
    QString converterCommand() const;
    void setConverterTimeoutMs(int ms) { m_timeoutMs = ms; }

    // Copies the WWP into Temp, decodes it there, moves the TIFF to tiffPath (which must not
    // exist) and removes the copy. False on any failure; never throws.
    bool WwpToTiff(const QString &wwpPath, const QString &tiffPath) const;

    // The decoding step alone: reads the WWP, writes a TIFF at tiffPath.
    bool decode(const QString &wwpPath, const QString &tiffPath) const;

    // Our decoder without the converter fallback.
    static bool decodeWrapped(const QString &wwpPath, const QString &tiffPath);
    // The same into a scratch folder of the caller's, as `name`: the decoded TIFF's path, or
    // empty when the folder is not there or decoding failed. For readers that decode a page
    // beside the display, which decodes beside the package: two writers of one file would race.
    static QString decodeWrappedInto(const QString &wwpPath, const QTemporaryDir &scratch,
                                     const QString &name = QStringLiteral("page.tif"));

private:
    bool runConverter(const QString &command, const QString &wwpPath,
                      const QString &tiffPath) const;

    const WorkFolders &m_folders;
    QString m_converter;
    int m_timeoutMs = 60000;
};

// True when the file is a TIFF that libtiff opens with a non-empty first page.
bool IsReadableTiff(const QString &path);

} // namespace qen
