#include "records/citationformats.h"

#include "platform/error.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace qen::records {

namespace {

// Control characters (a tab, a stray CR) would break the line-based formats.
QString clean(const QString &value) {
    QString out = value;
    for (QChar &c : out)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    return out.trimmed();
}

QString twoDigits(const QString &n) {
    return n.size() == 1 ? QLatin1Char('0') + n : n;
}

// 2000-11-20, 2000-11 or 2000: ISO 8601, as GB/T writes a newspaper's date.
QString isoDate(const Citation &c) {
    QString s = c.year;
    if (!c.year.isEmpty() && !c.month.isEmpty()) {
        s += QLatin1Char('-') + twoDigits(c.month);
        if (!c.day.isEmpty())
            s += QLatin1Char('-') + twoDigits(c.day);
    }
    return s;
}

// The notes the table sends to a note field: the Chinese serial number (CN) and the
// classification (CLC) under the labels the RIS N1 lines use.
QStringList cnAndClc(const Citation &c) {
    QStringList notes;
    if (!c.cn.isEmpty())
        notes << QStringLiteral("CN: ") + c.cn;
    if (!c.clc.isEmpty())
        notes << QStringLiteral("CLC: ") + c.clc;
    return notes;
}

// --- RIS ---

void risLine(QByteArray &out, const char *tag, const QString &value) {
    const QString v = clean(value);
    if (v.isEmpty())
        return;
    out += tag;
    out += "  - ";
    out += v.toUtf8();
    out += "\r\n";
}

// --- biblatex ---

// The characters TeX reads as commands, written so that biber reads them back as text.
// Braces are written as commands too: BibTeX counts every brace, escaped or not.
QString texEscaped(const QString &value) {
    QString out;
    out.reserve(value.size());
    for (QChar c : clean(value)) {
        switch (c.unicode()) {
        case u'\\':
            out += QStringLiteral("\\textbackslash{}");
            break;
        case u'{':
            out += QStringLiteral("\\textbraceleft{}");
            break;
        case u'}':
            out += QStringLiteral("\\textbraceright{}");
            break;
        case u'%':
        case u'&':
        case u'#':
        case u'$':
        case u'_':
            out += QLatin1Char('\\');
            out += c;
            break;
        case u'^':
            out += QStringLiteral("\\textasciicircum{}");
            break;
        case u'~':
            out += QStringLiteral("\\textasciitilde{}");
            break;
        default:
            out += c;
        }
    }
    return out;
}

// A name as biber parses it: "Family, Given"; a literal (Chinese) name, or one holding the
// word "and" or a comma of its own, in braces so that biber keeps it whole.
QString bibName(const Name &n) {
    static const QRegularExpression andWord(QStringLiteral("\\band\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    auto part = [](const QString &s) {
        const QString e = texEscaped(s);
        return (e.contains(andWord) || e.contains(QLatin1Char(',')))
                   ? QLatin1Char('{') + e + QLatin1Char('}')
                   : e;
    };
    if (n.isLiteral())
        return QLatin1Char('{') + texEscaped(n.literal) + QLatin1Char('}');
    if (n.given.isEmpty())
        return part(n.family);
    return part(n.family) + QStringLiteral(", ") + part(n.given);
}

// biblatex's langid takes babel's language names.
QString babelLanguage(const QString &bcp47) {
    static const QList<std::pair<QString, QString>> names = {
        {QStringLiteral("zh"), QStringLiteral("chinese")},
        {QStringLiteral("en"), QStringLiteral("english")},
        {QStringLiteral("ja"), QStringLiteral("japanese")},
        {QStringLiteral("ru"), QStringLiteral("russian")},
        {QStringLiteral("de"), QStringLiteral("german")},
        {QStringLiteral("fr"), QStringLiteral("french")},
    };
    const QString primary = bcp47.section(QLatin1Char('-'), 0, 0);
    for (const auto &[code, name] : names)
        if (code == primary)
            return name;
    return QStringLiteral("english");
}

void bibField(QString &out, const char *name, const QString &escapedValue) {
    if (escapedValue.isEmpty())
        return;
    out += QStringLiteral("  %1 = {%2},\n").arg(QLatin1String(name), escapedValue);
}

// --- GB/T 7714 ---

// "SMITH J R": the family name in capitals, then the initials of the given names without
// points (GB/T 7714-2015 8.1.1). "JR" written together is two initials.
QString gbtName(const Name &n) {
    if (n.isLiteral())
        return n.literal;
    QStringList initials;
    static const QRegularExpression parts(QStringLiteral("[\\s.\\-]+"));
    for (const QString &p : n.given.split(parts, Qt::SkipEmptyParts)) {
        if (p.size() <= 3 && p.toUpper() == p && p.toLower() != p) {
            for (QChar c : p)
                if (c.isLetter())
                    initials << QString(c);
        } else {
            initials << p.left(1).toUpper();
        }
    }
    QString s = n.family.toUpper();
    if (!initials.isEmpty())
        s += QLatin1Char(' ') + initials.join(QLatin1Char(' '));
    return s;
}

// Parts joined by ". ", one point only where a part ends in one ("et al.").
QString joinedWithPoints(const QStringList &parts) {
    QString out;
    for (const QString &p : parts) {
        if (p.isEmpty())
            continue;
        if (!out.isEmpty())
            out += out.endsWith(QLatin1Char('.')) ? QStringLiteral(" ") : QStringLiteral(". ");
        out += p;
    }
    if (!out.isEmpty() && !out.endsWith(QLatin1Char('.')))
        out += QLatin1Char('.');
    return out;
}

} // namespace

std::optional<CitationFormat> formatNamed(const QString &name) {
    const QString n = name.toLower();
    if (n == u"ris")
        return CitationFormat::Ris;
    if (n == u"bibtex" || n == u"biblatex" || n == u"bib")
        return CitationFormat::Bibtex;
    if (n == u"csljson" || n == u"csl-json" || n == u"json")
        return CitationFormat::CslJson;
    if (n == u"enw" || n == u"endnote")
        return CitationFormat::EndNote;
    if (n == u"gbt7714" || n == u"gb7714" || n == u"gbt")
        return CitationFormat::Gbt7714;
    return std::nullopt;
}

std::optional<CitationFormat> formatForFile(const QString &path) {
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return std::nullopt;
    const QString ext = name.mid(dot + 1).toLower();
    if (ext == u"ris")
        return CitationFormat::Ris;
    if (ext == u"bib")
        return CitationFormat::Bibtex;
    if (ext == u"json")
        return CitationFormat::CslJson;
    if (ext == u"enw")
        return CitationFormat::EndNote;
    return std::nullopt;
}

QString extensionOf(CitationFormat format) {
    switch (format) {
    case CitationFormat::Ris:
        return QStringLiteral("ris");
    case CitationFormat::Bibtex:
        return QStringLiteral("bib");
    case CitationFormat::CslJson:
        return QStringLiteral("json");
    case CitationFormat::EndNote:
        return QStringLiteral("enw");
    case CitationFormat::Gbt7714:
        break;
    }
    return QStringLiteral("txt");
}

QByteArray toRis(const QList<Citation> &citations) {
    QByteArray out;
    for (const Citation &c : citations) {
        // JOUR and NEWS: the RIS reference types of a journal and a newspaper article.
        out += c.type == Citation::Type::Newspaper ? "TY  - NEWS\r\n" : "TY  - JOUR\r\n";
        risLine(out, "TI", c.title);
        for (const Name &n : c.authors)
            risLine(out, "AU", n.sortForm()); // one line per name, "Family, Given"
        risLine(out, "AD", c.affiliation);
        // T2 is the container in the current RIS format, JF the journal in the older one;
        // reference managers read one or the other.
        risLine(out, "T2", c.container);
        risLine(out, "JF", c.container);
        risLine(out, "PY", c.year);
        if (!c.month.isEmpty()) // DA: YYYY/MM/DD/other
            risLine(out, "DA",
                    QStringLiteral("%1/%2/%3/")
                        .arg(c.year, twoDigits(c.month),
                             c.day.isEmpty() ? QString() : twoDigits(c.day)));
        risLine(out, "VL", c.volume);
        risLine(out, "IS", c.issue);
        // SP and EP hold one range; more ranges are kept whole in a note.
        const QString first = c.pageRanges.value(0);
        risLine(out, "SP", first.section(QLatin1Char('-'), 0, 0));
        risLine(out, "EP", first.section(QLatin1Char('-'), 1));
        risLine(out, "SN", c.issn);
        risLine(out, "CN", c.callNumber);
        risLine(out, "AN", c.accession);
        risLine(out, "CY", c.place);
        risLine(out, "AB", c.abstract);
        for (const QString &k : c.keywords)
            risLine(out, "KW", k); // one line per keyword
        for (const QString &note : cnAndClc(c))
            risLine(out, "N1", note);
        if (c.pageRanges.size() > 1)
            risLine(out, "N1", QStringLiteral("Pages: ") + c.pages());
        risLine(out, "LA", c.language);
        out += "ER  - \r\n\r\n";
    }
    return out;
}

QByteArray toBibtex(const QList<Citation> &citations) {
    QString out;
    for (const Citation &c : citations) {
        if (!out.isEmpty())
            out += QLatin1Char('\n');
        out += QStringLiteral("@article{%1,\n").arg(c.key);
        QStringList names;
        for (const Name &n : c.authors)
            names << bibName(n);
        bibField(out, "author", names.join(QStringLiteral(" and ")));
        bibField(out, "title", texEscaped(c.title));
        bibField(out, "journaltitle", texEscaped(c.container));
        // biblatex has no newspaper entry type; its manual gives @article a newspaper
        // subtype instead.
        if (c.type == Citation::Type::Newspaper)
            bibField(out, "entrysubtype", QStringLiteral("newspaper"));
        bibField(out, "date", isoDate(c));
        bibField(out, "volume", texEscaped(c.volume));
        // biblatex's number is an article's issue; its issue field is for "Spring" and such.
        bibField(out, "number", texEscaped(c.issue));
        QString pages = texEscaped(c.pages());
        pages.replace(QLatin1Char('-'), QStringLiteral("--"));
        bibField(out, "pages", pages);
        bibField(out, "issn", texEscaped(c.issn));
        // The table puts 机构, CN号, 光盘号 and 分类号 in note (biblatex has no field for them);
        // 出版地 is left out: biblatex's location is the publisher's, not the journal's.
        QStringList notes;
        if (!c.affiliation.isEmpty())
            notes << c.affiliation;
        notes << cnAndClc(c);
        if (!c.accession.isEmpty())
            notes << QStringLiteral("AN: ") + c.accession;
        bibField(out, "note", texEscaped(notes.join(QStringLiteral("; "))));
        bibField(out, "library", texEscaped(c.callNumber));
        bibField(out, "abstract", texEscaped(c.abstract));
        bibField(out, "keywords", texEscaped(c.keywords.join(QStringLiteral(", "))));
        bibField(out, "langid", babelLanguage(c.language));
        out += QStringLiteral("}\n");
    }
    return out.toUtf8();
}

QByteArray toCslJson(const QList<Citation> &citations) {
    QJsonArray items;
    for (const Citation &c : citations) {
        QJsonObject item;
        auto put = [&item](const char *name, const QString &value) {
            const QString v = clean(value);
            if (!v.isEmpty())
                item.insert(QLatin1String(name), v);
        };
        put("id", c.key);
        put("type", c.type == Citation::Type::Newspaper ? QStringLiteral("article-newspaper")
                                                        : QStringLiteral("article-journal"));
        put("title", c.title);
        QJsonArray authors;
        for (const Name &n : c.authors) {
            QJsonObject a;
            if (n.isLiteral()) {
                a.insert(QStringLiteral("literal"), n.literal);
            } else {
                a.insert(QStringLiteral("family"), n.family);
                if (!n.given.isEmpty())
                    a.insert(QStringLiteral("given"), n.given);
            }
            authors.append(a);
        }
        if (!authors.isEmpty())
            item.insert(QStringLiteral("author"), authors);
        put("container-title", c.container);
        if (!c.year.isEmpty()) {
            QJsonArray parts{c.year.toInt()};
            if (!c.month.isEmpty()) {
                parts.append(c.month.toInt());
                if (!c.day.isEmpty())
                    parts.append(c.day.toInt());
            }
            item.insert(QStringLiteral("issued"),
                        QJsonObject{{QStringLiteral("date-parts"), QJsonArray{parts}}});
        }
        put("volume", c.volume);
        put("issue", c.issue);
        put("page", c.pages());
        put("ISSN", c.issn);
        // One note a line, as Zotero keeps the lines of its Extra field.
        QStringList notes;
        for (const QString &n : QStringList{c.affiliation} + cnAndClc(c))
            if (!clean(n).isEmpty())
                notes << clean(n);
        if (!notes.isEmpty())
            item.insert(QStringLiteral("note"), notes.join(QLatin1Char('\n')));
        put("call-number", c.callNumber);
        put("archive_location", c.accession);
        put("publisher-place", c.place);
        put("abstract", c.abstract);
        put("keyword", c.keywords.join(QStringLiteral(", ")));
        put("language", c.language);
        items.append(item);
    }
    return QJsonDocument(items).toJson(QJsonDocument::Indented);
}

QByteArray toEndNote(const QList<Citation> &citations) {
    QByteArray out;
    auto line = [&out](const char *tag, const QString &value) {
        const QString v = clean(value);
        if (v.isEmpty())
            return;
        out += tag;
        out += ' ';
        out += v.toUtf8();
        out += '\n';
    };
    for (const Citation &c : citations) {
        if (!out.isEmpty())
            out += '\n';
        line("%0", c.type == Citation::Type::Newspaper ? QStringLiteral("Newspaper Article")
                                                       : QStringLiteral("Journal Article"));
        line("%T", c.title);
        for (const Name &n : c.authors)
            line("%A", n.sortForm());
        line("%+", c.affiliation);
        line("%J", c.container);
        line("%D", c.year);
        if (!c.month.isEmpty())
            line("%8", isoDate(c));
        line("%V", c.volume);
        line("%N", c.issue);
        line("%P", c.pages());
        line("%@", c.issn);
        for (const QString &note : cnAndClc(c))
            line("%Z", note);
        line("%L", c.callNumber);
        line("%M", c.accession);
        line("%C", c.place);
        line("%X", c.abstract);
        for (const QString &k : c.keywords)
            line("%K", k);
        line("%G", c.language);
    }
    return out;
}

QString toGbt7714(const Citation &c) {
    // Up to three authors; of more, the first three and ", 等" or ", et al." (8.1.2),
    // chosen by the record's language.
    QStringList names;
    for (qsizetype i = 0; i < c.authors.size() && i < 3; ++i)
        names << gbtName(c.authors[i]);
    QString authors = names.join(QStringLiteral(", "));
    if (c.authors.size() > 3)
        authors += c.chinese() ? QStringLiteral(", 等") : QStringLiteral(", et al.");

    const bool newspaper = c.type == Citation::Type::Newspaper;
    const QString title =
        clean(c.title) + (newspaper ? QStringLiteral("[N]") : QStringLiteral("[J]"));

    // 刊名, 年, 卷(期): 页 — "2004(3)" without a volume, "2004, 23" without an issue; a
    // newspaper gives its date, and its page (版次) in the parentheses.
    QStringList group;
    if (!c.container.isEmpty())
        group << clean(c.container);
    const QString when = newspaper ? isoDate(c) : c.year;
    if (!when.isEmpty())
        group << when;
    if (!c.volume.isEmpty())
        group << c.volume;
    QString where = group.join(QStringLiteral(", "));
    if (!c.issue.isEmpty())
        where += QLatin1Char('(') + c.issue + QLatin1Char(')');
    if (!c.pageRanges.isEmpty())
        where += (where.isEmpty() ? QString() : QStringLiteral(": ")) + c.pages();
    return joinedWithPoints({clean(authors), title, where});
}

QString toGbt7714List(const QList<Citation> &citations) {
    QString out;
    for (qsizetype i = 0; i < citations.size(); ++i)
        out += QStringLiteral("[%1] %2\n").arg(i + 1).arg(toGbt7714(citations[i]));
    return out;
}

QByteArray formatCitations(const QList<Citation> &citations, CitationFormat format) {
    switch (format) {
    case CitationFormat::Ris:
        return toRis(citations);
    case CitationFormat::Bibtex:
        return toBibtex(citations);
    case CitationFormat::CslJson:
        return toCslJson(citations);
    case CitationFormat::EndNote:
        return toEndNote(citations);
    case CitationFormat::Gbt7714:
        return toGbt7714List(citations).toUtf8();
    }
    return QByteArray();
}

CitationBatch readCitations(const QStringList &recordPaths) {
    CitationBatch batch;
    for (const QString &path : recordPaths) {
        ParsedRecord parsed;
        try {
            parsed = readRecordFile(path);
        } catch (const Error &e) {
            batch.problems << e.description();
            ++batch.failedFiles;
            continue;
        }
        for (const QString &w : parsed.warnings)
            batch.problems << QStringLiteral("%1：%2").arg(path, w);
        int number = 0;
        for (const Entry &entry : parsed.entries) {
            ++number;
            const Citation c = citationOf(entry);
            if (c.title.isEmpty() && c.authors.isEmpty() && c.container.isEmpty()) {
                batch.problems << QStringLiteral(
                                      "%1：第 %2 条题录（第 %3 行起）没有题名、作者或刊名，"
                                      "没有导出。")
                                      .arg(path)
                                      .arg(number)
                                      .arg(entry.line);
                continue;
            }
            if (c.title.isEmpty())
                batch.problems << QStringLiteral("%1：第 %2 条题录（第 %3 行起）没有题名。")
                                      .arg(path)
                                      .arg(number)
                                      .arg(entry.line);
            batch.citations << c;
        }
    }
    assignKeys(batch.citations);
    return batch;
}

} // namespace qen::records
