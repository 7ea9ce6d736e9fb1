#pragma once

#include "records/citation.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// What reference managers import, and the citation Chinese theses use. Every output is
// UTF-8 without a byte-order mark.
namespace qen::records {

enum class CitationFormat { Ris, Bibtex, CslJson, EndNote, Gbt7714 };

// "ris", "bibtex", "csljson", "enw", "gbt7714" (qentool cite --format).
std::optional<CitationFormat> formatNamed(const QString &name);
// By the file's extension, in any case: .ris, .bib, .json, .enw; nothing for others.
std::optional<CitationFormat> formatForFile(const QString &path);
// The extension a format's files get, without the dot ("txt" for GB/T text).
QString extensionOf(CitationFormat format);

// RIS: "XX  - value" lines ending in CR LF, each entry opened by TY and closed by "ER  - ".
QByteArray toRis(const QList<Citation> &citations);
// biblatex: @article entries (newspapers with entrysubtype = {newspaper}) with langid;
// the keys are the citations' own (assignKeys).
QByteArray toBibtex(const QList<Citation> &citations);
// A CSL-JSON array; the ids are the citations' keys.
QByteArray toCslJson(const QList<Citation> &citations);
// EndNote's tagged format (.enw), entries apart by an empty line.
QByteArray toEndNote(const QList<Citation> &citations);

// GB/T 7714-2015 text of one article: "作者. 题名[J]. 刊名, 年, 卷(期): 起-止页." ([N] and
// the date for a newspaper).
QString toGbt7714(const Citation &citation);
// The numbered list: "[1] …", one line each, every line ending in "\n".
QString toGbt7714List(const QList<Citation> &citations);

// The citations in the format; GB/T text as its numbered list.
QByteArray formatCitations(const QList<Citation> &citations, CitationFormat format);

// The citations of record files, for export and citing. A file that cannot be read, or
// holds no field, is left out and named in problems; what was read in spite of a fault, and
// entries without a title, are named there too. Keys are assigned over all the files.
struct CitationBatch {
    QList<Citation> citations;
    QStringList problems;
    int failedFiles = 0;
};
CitationBatch readCitations(const QStringList &recordPaths);

} // namespace qen::records
