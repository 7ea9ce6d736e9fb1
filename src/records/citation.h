#pragma once

#include "records/recordparser.h"

#include <QList>
#include <QString>
#include <QStringList>

// A record entry as a reference manager sees it: an article in a journal or a newspaper,
// with its authors, its container and where in the container it stands. citation.cpp says
// where each choice of the mapping comes from.
namespace qen::records {

struct Name {
    // A Chinese name (any name holding CJK characters) is one literal name: no family name
    // is guessed from its first character, since compound surnames (欧阳, 司马) exist.
    QString literal;
    // A Latin name: "Smith, John", "John Smith", "Smith J" and "SMITH John" all give
    // family "Smith"/"SMITH" and given "John"/"J".
    QString family, given;

    bool isLiteral() const { return !literal.isEmpty(); }
    // "Family, Given", "Family" alone, or the literal name.
    QString sortForm() const;
    bool operator==(const Name &) const = default;
};

// What a source field (刊名, 报刊名) holds besides the container's title.
struct SourceParts {
    QString container; // the title, with whatever could not be parsed
    QString year, month, day, volume, issue;
    QStringList pageRanges; // "45-50", "60"
    bool operator==(const SourceParts &) const = default;
};

struct Citation {
    enum class Type { Journal, Newspaper };
    Type type = Type::Journal;
    QString title;
    QList<Name> authors;
    QString affiliation; // 机构
    QString container;   // 刊名 or 报刊名
    QString issn;
    QString cn;         // CN号, 刊号: the Chinese serial number
    QString clc;        // 分类号: the Chinese Library Classification
    QString callNumber; // 馆藏号, 馆藏
    QString accession;  // 光盘号: the database's number of the record
    QString place;      // 出版地, 出版国
    QString abstract;
    QStringList keywords;
    QString year, month, day, volume, issue;
    QStringList pageRanges;
    QString language; // BCP 47: zh-CN, en, ...
    QString key;      // the BibTeX key and CSL id, given by assignKeys

    // The page ranges joined by "+", as Chinese databases and citations write them.
    QString pages() const { return pageRanges.join(QLatin1Char('+')); }
    bool chinese() const { return language.startsWith(QLatin1String("zh")); }
};

// True for CJK ideographs, kana, Hangul, CJK punctuation and full-width forms.
bool isCjk(char32_t c);
bool holdsCjk(QStringView text);

// A field's lines as one line: joined with a space, or with nothing where both sides of the
// break are CJK (Chinese text wraps anywhere and has no spaces between words).
QString oneLine(const QString &value);

// Authors and keywords: split on ；;，、, and on "," only where a CJK character follows it, so
// "Smith, John" stays one name; between two CJK words of two or more characters white space
// separates too ("王晓明 李静"), while "王　静", a two-character name padded to three, stays one
// name. A Latin name is never split on its spaces.
QStringList splitList(const QString &field);
Name parseName(const QString &name);

// Year, volume, issue and pages from a source field: "情报学报 2004年 第3期 45-50页",
// "…第23卷 第03期 45～50,60页", "刊名.2004,23(3)", "刊名, 2004, 23(03): 45-50",
// "《科学通报》2012年第S1期", "人民日报 2004年3月5日 第2版". Leading zeros go, supplement
// issues (S1, Z1) stay, ～ becomes -, page ranges are joined by "+". What is not understood
// stays in the container.
SourceParts parseSource(const QString &source);

// The entry's citation; every mapped field is taken, the output options play no part.
Citation citationOf(const Entry &entry);

// BibTeX keys (also the CSL ids): ASCII, from the first author's Latin family name and the
// year ("smith2004"); for a Chinese first author (Debian has no pinyin table) the record's
// number (光盘号) or "qen" with a counter. Keys used twice get letters: smith2004a, smith2004b.
void assignKeys(QList<Citation> &citations);

} // namespace qen::records
