#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// Records (题录) read as data: the entries of a record file, each a list of its 【field】
// lines. The field filter (fieldfilter.h) decides what the view shows; this reads every field
// whatever the output options say, for export and citations.
namespace qen::records {

struct Field {
    QString name;  // normalised: see normaliseFieldName
    QString value; // the text after 】 and the field's continuation lines, joined with "\n"
    int line = 0;  // 1-based line of the marker in the record's text
};

struct Entry {
    QList<Field> fields; // in the record's order; no name twice
    int line = 0;        // the first field's line

    // The value of the field of that (normalised) name, "" when the entry has none.
    QString value(QStringView name) const;
    bool has(QStringView name) const;
};

struct ParsedRecord {
    QList<Entry> entries;
    // What was read in spite of a fault: undecodable bytes, a malformed marker. Each names
    // its line; an entry without a title is noted by the citation reader, not here.
    QStringList warnings;
};

// NFKC, then every white-space character removed: "题　名" is 题名, "ＣＮ号" and "C N 号" are
// CN号.
QString normaliseFieldName(QStringView name);

// The record's text as the record view reads it: rich text through the RTF reader, any
// other file (TXT, WP) as UTF-8 or UTF-16 when its bytes say so, else GBK. Undecodable
// bytes become U+FFFD and are noted in *warnings, with their line.
QString recordText(QByteArrayView bytes, QStringList *warnings = nullptr);

// The entries of a record's text. A field line begins (after white space) with 【name】;
// the lines after it up to an empty line or the next field line continue it, as the field
// filter reads them. A field whose name the current entry already has starts a new entry,
// so one file may hold many records. Lines outside any field (before the first, or after an
// empty line) belong to no field. A line with 】 before its first 【 is text, and noted.
ParsedRecord parseRecordText(const QString &text);

// recordText, then parseRecordText; the warnings of both.
ParsedRecord parseRecordBytes(QByteArrayView bytes);

// The largest record file read, in bytes: 64 MB, 1 MB in a fuzzing build.
qsizetype maxRecordFileSize();

// Reads the file and parses it. Throws qen::Error naming the file when it cannot be read, is
// larger than maxRecordFileSize(), or holds no field at all.
ParsedRecord readRecordFile(const QString &path);

} // namespace qen::records
