#pragma once

#include "export/pdfwriter.h"
#include "ocr/textlayer.h"
#include "platform/workfolders.h"

#include <QString>
#include <QStringList>

namespace qen::tool {

// The program's work folders, as the tool finds them: its settings are the program's.
inline WorkFolders toolFolders() {
    const QString root = WorkFolders::defaultRoot();
    return WorkFolders(root, root);
}

// Each command writes its results to standard output and its errors to standard error;
// it returns the process exit status (2 on any error).
struct Command {
    const char *name;
    const char *synopsis;
    int (*run)(const QStringList &args);
};

QString usage();
// "Qen Browser 3.0": what --version and the version command print.
QString versionText();
int run(const QString &name, const QStringList &args);

int errorExit(const QString &message);

// The commands, one file each.
// qentool info FILE [--json]: the cleaned title, then the pages in tree order.
int runInfo(const QStringList &args);
// qentool extract FILE DIR: unpacks a package with the program's safety rules.
int runExtract(const QStringList &args);
// qentool filter RECORD [--options FILE]: the record as the field filter writes it.
int runFilter(const QStringList &args);
// qentool cite [--format F] RECORD...: the records' entries for reference managers, or as
// GB/T 7714 citations (the default), as UTF-8.
int runCite(const QStringList &args);
// qentool ocr IMAGE [--area X,Y,W,H] [--lang LANGS]: the recognised text, as UTF-8.
int runOcr(const QStringList &args);
// qentool text FILE... [--hocr | --json] [--lang LANGS]: every image page's recognised text.
int runText(const QStringList &args);
// qentool find TEXT FILE... [--tolerant] [--lang LANGS]: FILE:PAGE:LINE: TEXT per hit; exit 0
// when found, 1 when not, 2 on an error.
int runFind(const QStringList &args);
// qentool topdf [--text] OUT.pdf INPUT...: pages and packages into one PDF, compressed data
// unchanged; with --text, each page's recognised text lies over it, invisible.
int runToPdf(const QStringList &args);

// What topdf does with pages that need more than copying: WWP pages to decode and pages to
// decode into pixels. The full tool decodes them; the quick path, which loads no image
// library, throws NeedsDecoder, and the full tool then takes the whole job over.
// Each file that goes into the PDF is read once, and its bytes given to both calls.
struct PdfPageSource {
    bool (*decodeWwp)(const QString &wwp, const QString &tiff);
    QList<pdf::Image> (*imagesOf)(const QString &path, const QByteArray &bytes);
    // The recognised text of a page (read now, or kept from an earlier reading); decoded is
    // the file to read when the page is a WWP page, and decodedBytes what it holds. Throws
    // qen::Error when it cannot be read.
    ocr::TextLayer (*textOf)(const QString &page, const QString &decoded,
                             const QByteArray &decodedBytes);
};
struct NeedsDecoder {};
int runToPdf(const QStringList &args, const PdfPageSource &source);
// The full tool's text: read through the same engine, languages and cache as qentool text.
ocr::TextLayer recognisedPageText(const QString &page, const QString &decoded,
                                  const QByteArray &decodedBytes);
// The quick path's source: stored data only.
const PdfPageSource &storedPageSource();

} // namespace qen::tool
