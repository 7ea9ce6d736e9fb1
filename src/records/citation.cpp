#include "records/citation.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <utility>

// Where the mapping comes from. Each output's tags and variables are those its own
// documentation gives them:
//   RIS       the RIS format as Research Information Systems documented it (2011): TI, AU, AD,
//             T2/JF, SN, CN, AN, CY, AB, KW, N1, PY, DA, VL, IS, SP, EP, LA;
//   biblatex  the biblatex manual, "Entry Fields", as biber's data model checks them;
//   CSL-JSON  CSL 1.0.2, "Appendix IV - Variables";
//   EndNote   EndNote's tagged import format (%0, %T, %A, %+, %J, %@, %Z, %L, %M, %C, %X, %K,
//             %D, %8, %V, %N, %P, %G);
//   GB/T      GB/T 7714-2015, "连续出版物中的析出文献" and its examples.
// Decisions the sources leave open are said where they are made.
namespace qen::records {

namespace {

// Normalised field names (recordparser.h) of the fields read. The names in the first rows
// are the nineteen the output options know (OutputOptionsDialog::fieldNames), normalised.
const QStringList TitleFields = {QStringLiteral("题名"), QStringLiteral("标题")};
const QString AuthorField = QStringLiteral("作者");
const QString AffiliationField = QStringLiteral("机构");
const QString JournalField = QStringLiteral("刊名");
const QString NewspaperField = QStringLiteral("报刊名");
const QString IssnField = QStringLiteral("ISSN号");
const QStringList CnFields = {QStringLiteral("CN号"), QStringLiteral("刊号")};
const QStringList CallNumberFields = {QStringLiteral("馆藏号"), QStringLiteral("馆藏")};
const QString AccessionField = QStringLiteral("光盘号");
const QStringList PlaceFields = {QStringLiteral("出版地"), QStringLiteral("出版国")};
const QString AbstractField = QStringLiteral("文摘");
const QString KeywordField = QStringLiteral("关键词");
const QString ClassField = QStringLiteral("分类号");
// 正文 (the full text) is no part of a citation and is left out.
// Not among the nineteen, but what other databases' records carry; each, when present, is
// taken before what the source field holds.
const QStringList YearFields = {QStringLiteral("年"), QStringLiteral("年份"),
                                QStringLiteral("出版年")};
const QStringList VolumeFields = {QStringLiteral("卷"), QStringLiteral("卷号")};
const QStringList IssueFields = {QStringLiteral("期"), QStringLiteral("期号")};
const QStringList PageFields = {QStringLiteral("页码"), QStringLiteral("页")};
const QStringList LanguageFields = {QStringLiteral("语种"), QStringLiteral("语言")};

QString firstOf(const Entry &entry, const QStringList &names) {
    for (const QString &name : names) {
        const QString v = entry.value(name);
        if (!v.trimmed().isEmpty())
            return v;
    }
    return QString();
}

bool isCjkAt(QStringView s, qsizetype i) {
    if (i < 0 || i >= s.size())
        return false;
    char32_t c = s[i].unicode();
    if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate())
        c = QChar::surrogateToUcs4(s[i], s[i + 1]);
    else if (s[i].isLowSurrogate() && i > 0 && s[i - 1].isHighSurrogate())
        c = QChar::surrogateToUcs4(s[i - 1], s[i]);
    return isCjk(c);
}

// A CJK letter, not punctuation: what makes a title Chinese and a name a Chinese name.
bool isCjkLetter(char32_t c) {
    return (c >= 0x3040 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3FFFF);
}

bool holdsCjkLetter(QStringView text) {
    for (char32_t c : text.toUcs4())
        if (isCjkLetter(c))
            return true;
    return false;
}

QString collapseSpaces(const QString &s) {
    return s.simplified();
}

// Digits in any width as ASCII, leading zeros dropped from every run of digits: "０３" is 3,
// "S01" is S1, "0" stays.
QString plainNumber(const QString &s) {
    const QString n = s.normalized(QString::NormalizationForm_KC);
    QString out;
    for (qsizetype i = 0; i < n.size(); ++i) {
        const QChar c = n[i];
        if (c.isSpace())
            continue;
        const bool runStart = c == u'0' && (i == 0 || !n[i - 1].isDigit());
        if (runStart) {
            qsizetype j = i;
            while (j + 1 < n.size() && n[j] == u'0' && n[j + 1].isDigit())
                ++j;
            i = j;
            out += n[j];
            continue;
        }
        out += c;
    }
    return out;
}

// "45～50,60" -> {"45-50", "60"}: dashes of every kind as "-", commas, "+" and 、 between
// ranges.
QStringList pageRangesOf(const QString &s) {
    QString n = s.normalized(QString::NormalizationForm_KC);
    static const QRegularExpression dash(QStringLiteral("\\s*[-‐‑‒–—―~〜～－]\\s*"));
    static const QRegularExpression joint(QStringLiteral("\\s*[,，、+＋;；]\\s*"));
    n.replace(dash, QStringLiteral("-"));
    QStringList out;
    for (const QString &piece : n.split(joint, Qt::SkipEmptyParts)) {
        const QString p = plainNumber(piece.trimmed());
        if (!p.isEmpty())
            out << p;
    }
    return out;
}

// The pieces a source field is read by; parseSource makes full-width digits ASCII first, and
// \s takes the ideographic space (Unicode properties).
const QString Dash = QStringLiteral("[-‐‑‒–—―~〜～－]");
const QString Page = QStringLiteral("[A-Za-z]?\\d+");
const QString PageRange =
    Page + QStringLiteral("(?:\\s*") + Dash + QStringLiteral("\\s*") + Page + QStringLiteral(")?");
const QString Pages =
    PageRange + QStringLiteral("(?:\\s*[,，、+＋]\\s*") + PageRange + QStringLiteral(")*");
const QString Year = QStringLiteral("(?<!\\d)(?:1[5-9]|20)\\d\\d(?!\\d)");
const QString Issue =
    QStringLiteral("(?:(?:[A-Za-z]|增刊)\\s*\\d+|\\d+(?:\\s*[-/～]\\s*\\d+)?|增刊)");

QRegularExpression pattern(const QString &p) {
    return QRegularExpression(p, QRegularExpression::UseUnicodePropertiesOption |
                                     QRegularExpression::CaseInsensitiveOption);
}

// Removes the match from the text, leaving a blank so that the words either side stay apart.
void cut(QString &text, const QRegularExpressionMatch &m) {
    text.replace(m.capturedStart(), m.capturedLength(), QStringLiteral(" "));
}

} // namespace

bool isCjk(char32_t c) {
    return isCjkLetter(c) || (c >= 0x2E80 && c <= 0x303F) || (c >= 0x3100 && c <= 0x33FF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFFEF);
}

bool holdsCjk(QStringView text) {
    for (char32_t c : text.toUcs4())
        if (isCjk(c))
            return true;
    return false;
}

QString oneLine(const QString &value) {
    const QStringList lines = value.split(QLatin1Char('\n'));
    QString out = lines.value(0).trimmed();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString next = lines[i].trimmed();
        if (next.isEmpty())
            continue;
        if (!out.isEmpty() && !(isCjkAt(out, out.size() - 1) && isCjkAt(next, 0)))
            out += QLatin1Char(' ');
        out += next;
    }
    return out;
}

QStringList splitList(const QString &field) {
    const QString text = oneLine(field);
    QStringList pieces;
    QString piece;
    auto flush = [&] {
        // Bullets and stray punctuation at either end are no part of a name or keyword.
        static const QRegularExpression ends(QStringLiteral("^[\\s.。·]+|[\\s.。·]+$"));
        static const QRegularExpression initialDot(QStringLiteral("[A-Za-z]\\.$"));
        QString p = piece.trimmed();
        if (!p.contains(initialDot))
            p.remove(ends);
        else
            p = p.trimmed();
        if (!p.isEmpty())
            pieces << p;
        piece.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'；' || c == u';' || c == u'，' || c == u'、') {
            flush();
            continue;
        }
        if (c == u',') {
            qsizetype j = i + 1;
            while (j < text.size() && text[j].isSpace())
                ++j;
            if (isCjkAt(text, j)) {
                flush();
                continue;
            }
        }
        if (c.isSpace()) {
            // Two CJK words of two characters or more either side: two names. A single
            // character either side is a padded name ("王　静"), whose padding goes.
            qsizetype j = i;
            while (j < text.size() && text[j].isSpace())
                ++j;
            auto cjkRun = [&](qsizetype from, int step) {
                int n = 0;
                for (qsizetype k = from; k >= 0 && k < text.size() && isCjkAt(text, k); k += step)
                    ++n;
                return n;
            };
            const int before = cjkRun(i - 1, -1), after = cjkRun(j, 1);
            if (before > 0 && after > 0) {
                if (before >= 2 && after >= 2)
                    flush();
                i = j - 1;
                continue;
            }
        }
        piece += c;
    }
    flush();
    return pieces;
}

QString Name::sortForm() const {
    if (isLiteral())
        return literal;
    if (given.isEmpty())
        return family;
    return family + QStringLiteral(", ") + given;
}

Name parseName(const QString &text) {
    Name name;
    const QString s = collapseSpaces(text);
    if (s.isEmpty())
        return name;
    if (holdsCjkLetter(s)) {
        name.literal = s;
        return name;
    }
    // "Smith, John": family first, as a comma says.
    const qsizetype comma = s.indexOf(QLatin1Char(','));
    if (comma > 0) {
        name.family = s.left(comma).trimmed();
        name.given = s.mid(comma + 1).trimmed();
        if (name.family.isEmpty())
            name.family = std::exchange(name.given, QString());
        return name;
    }
    QStringList words = s.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() == 1) {
        name.family = words.first();
        return name;
    }
    static const QRegularExpression initials(QStringLiteral("^(?:[A-Z]\\.?-?){1,3}$"));
    auto isInitials = [](const QString &w) { return initials.match(w).hasMatch(); };
    auto allCaps = [](const QString &w) {
        return w.size() > 1 && w.toUpper() == w && w.toLower() != w;
    };
    // "Smith J R", "Smith JR": the initials after the family name, as Chinese databases and
    // GB/T write Latin names.
    qsizetype firstInitial = words.size();
    while (firstInitial > 1 && isInitials(words[firstInitial - 1]))
        --firstInitial;
    if (firstInitial < words.size() && !isInitials(words.first())) {
        name.family = words.mid(0, firstInitial).join(QLatin1Char(' '));
        name.given = words.mid(firstInitial).join(QLatin1Char(' '));
        return name;
    }
    // "SMITH John": a family name written in capitals comes first.
    if (allCaps(words.first()) && !allCaps(words.last())) {
        name.family = words.takeFirst();
        name.given = words.join(QLatin1Char(' '));
        return name;
    }
    // "John Smith", "Ludwig van Beethoven": the last word, with the lower-case particles
    // before it, is the family name.
    qsizetype familyStart = words.size() - 1;
    while (familyStart > 1 && words[familyStart - 1].front().isLower())
        --familyStart;
    name.family = words.mid(familyStart).join(QLatin1Char(' '));
    name.given = words.mid(0, familyStart).join(QLatin1Char(' '));
    return name;
}

namespace {

// Each step reads what it knows from `rest`, cuts it out, and leaves the rest to the next.
void readDate(QString &rest, SourceParts &parts) {
    // A full date first (newspapers): 2004年3月5日, 2004-03-05. Month and day keep two digits
    // when written (GB/T writes dates as 2000-11-20); the year is its own.
    static const QRegularExpression cnDate =
        pattern(QStringLiteral("(") + Year +
                QStringLiteral(")\\s*年\\s*(\\d{1,2})\\s*月(?:\\s*(\\d{1,2})\\s*日)?"));
    static const QRegularExpression isoDate = pattern(
        QStringLiteral("(") + Year + QStringLiteral(")[-/.](\\d{1,2})[-/.](\\d{1,2})(?!\\d)"));
    for (const QRegularExpression *re : {&cnDate, &isoDate}) {
        const QRegularExpressionMatch m = re->match(rest);
        if (m.hasMatch() && parts.year.isEmpty()) {
            parts.year = plainNumber(m.captured(1));
            parts.month = plainNumber(m.captured(2));
            parts.day = plainNumber(m.captured(3));
            cut(rest, m);
        }
    }
}

void readCompactForm(QString &rest, SourceParts &parts) {
    // The compact form of citations: 2004,23(3):45-50, 2004(S1), 2004, 23: 45-50, 2004: 45.
    static const QRegularExpression compact = pattern(
        QStringLiteral("(") + Year + QStringLiteral(")\\s*(?:[,，]\\s*(\\d+)\\s*)?[(（]\\s*(") +
        Issue + QStringLiteral(")\\s*[)）](?:\\s*[:：]\\s*(") + Pages + QStringLiteral("))?"));
    static const QRegularExpression yearVolume =
        pattern(QStringLiteral("(") + Year +
                QStringLiteral(")\\s*[,，]\\s*(\\d+)(?![\\d年])(?:\\s*[:：]\\s*(") + Pages +
                QStringLiteral("))?"));
    static const QRegularExpression yearPages =
        pattern(QStringLiteral("(") + Year + QStringLiteral(")\\s*[:：]\\s*(") + Pages +
                QStringLiteral(")"));
    if (parts.year.isEmpty()) {
        QRegularExpressionMatch m = compact.match(rest);
        if (m.hasMatch()) {
            parts.year = plainNumber(m.captured(1));
            parts.volume = plainNumber(m.captured(2));
            parts.issue = plainNumber(m.captured(3));
            parts.pageRanges = pageRangesOf(m.captured(4));
            cut(rest, m);
        } else if ((m = yearVolume.match(rest)).hasMatch()) {
            parts.year = plainNumber(m.captured(1));
            parts.volume = plainNumber(m.captured(2));
            parts.pageRanges = pageRangesOf(m.captured(3));
            cut(rest, m);
        } else if ((m = yearPages.match(rest)).hasMatch()) {
            parts.year = plainNumber(m.captured(1));
            parts.pageRanges = pageRangesOf(m.captured(2));
            cut(rest, m);
        }
    }
}

void readListingWords(QString &rest, SourceParts &parts) {
    // The words of Chinese (and English) listings, each taken once.
    struct Word {
        QRegularExpression re;
        QString SourceParts::*part;
    };
    static const Word words[] = {
        {pattern(QStringLiteral("(") + Year + QStringLiteral(")\\s*年")), &SourceParts::year},
        {pattern(QStringLiteral("第?\\s*(\\d+)\\s*卷")), &SourceParts::volume},
        {pattern(QStringLiteral("第?\\s*(") + Issue + QStringLiteral(")\\s*期")),
         &SourceParts::issue},
        // A newspaper's page (版次) is what GB/T puts in the parentheses after its date.
        {pattern(QStringLiteral("第?\\s*([A-Za-z]?\\d+)\\s*版")), &SourceParts::issue},
        {pattern(QStringLiteral("\\bvol(?:ume)?\\.?\\s*(\\d+)")), &SourceParts::volume},
        {pattern(QStringLiteral("\\b(?:no|issue)\\.?\\s*([A-Za-z]?\\d+)")), &SourceParts::issue},
    };
    for (const Word &w : words) {
        if (!(parts.*w.part).isEmpty())
            continue;
        const QRegularExpressionMatch m = w.re.match(rest);
        if (m.hasMatch()) {
            parts.*w.part = plainNumber(m.captured(1));
            cut(rest, m);
        }
    }
}

void readPages(QString &rest, SourceParts &parts) {
    if (parts.pageRanges.isEmpty()) {
        static const QRegularExpression pagesWord =
            pattern(QStringLiteral("(?:第\\s*)?(") + Pages +
                    QStringLiteral(")\\s*页|\\bpp?\\.\\s*(") + Pages + QStringLiteral(")"));
        // Bare pages at the end once something else was read: "情报学报 2004年 第3期 45-50".
        static const QRegularExpression trailing =
            pattern(QStringLiteral("(?:^|[\\s,，:：])(") + PageRange + QStringLiteral("(?:\\s*") +
                    QStringLiteral("[,，、+＋]\\s*") + PageRange + QStringLiteral(")*)\\s*$"));
        QRegularExpressionMatch m = pagesWord.match(rest);
        if (m.hasMatch()) {
            parts.pageRanges = pageRangesOf(m.captured(1) + m.captured(2));
            cut(rest, m);
        } else if (!parts.year.isEmpty() && (m = trailing.match(rest)).hasMatch() &&
                   m.captured(1).contains(QRegularExpression(Dash))) {
            parts.pageRanges = pageRangesOf(m.captured(1));
            rest.truncate(m.capturedStart(1));
        }
    }
}

void readYearAlone(QString &rest, SourceParts &parts) {
    // A year standing alone ("刊名 2004 第3期"), once the rest shows this is a listing and not
    // a title with a number in it.
    if (parts.year.isEmpty() &&
        !(parts.volume.isEmpty() && parts.issue.isEmpty() && parts.pageRanges.isEmpty())) {
        static const QRegularExpression alone = pattern(
            QStringLiteral("(?:^|[\\s,，.;；])(") + Year + QStringLiteral(")(?=$|[\\s,，.;；])"));
        const QRegularExpressionMatch m = alone.match(rest);
        if (m.hasMatch()) {
            parts.year = plainNumber(m.captured(1));
            rest.replace(m.capturedStart(1), m.capturedLength(1), QStringLiteral(" "));
        }
    }
}

QString containerOf(QString rest) {
    // What is left is the container: blanks closed up, separators at the ends dropped, a
    // title in 《》 taken out of them. A final "." after a Latin letter may end an
    // abbreviation ("J. Doc.") and stays.
    rest = collapseSpaces(rest);
    static const QRegularExpression leading(QStringLiteral("^[\\s,，;；:：、.。]+"));
    static const QRegularExpression trailingSeparators(QStringLiteral("[\\s,，;；:：、。]+$"));
    rest.remove(leading);
    rest.remove(trailingSeparators);
    while (rest.endsWith(QLatin1Char('.'))) {
        const bool abbreviation =
            rest.size() >= 2 && rest[rest.size() - 2].isLetter() && !holdsCjkLetter(rest);
        if (abbreviation)
            break;
        rest.chop(1);
        rest.remove(trailingSeparators);
    }
    if (rest.startsWith(u'《') && rest.endsWith(u'》') && rest.count(u'《') == 1)
        rest = rest.mid(1, rest.size() - 2).trimmed();
    return rest;
}

} // namespace

SourceParts parseSource(const QString &source) {
    SourceParts parts;
    QString rest = oneLine(source);
    // Full-width digits read as ASCII ones (the patterns' literal digits are ASCII); other
    // full-width characters keep their width in the container.
    for (QChar &c : rest)
        if (c.unicode() >= 0xFF10 && c.unicode() <= 0xFF19)
            c = QChar(u'0' + (c.unicode() - 0xFF10));
    readDate(rest, parts);
    readCompactForm(rest, parts);
    readListingWords(rest, parts);
    readPages(rest, parts);
    readYearAlone(rest, parts);
    parts.container = containerOf(rest);
    return parts;
}

namespace {

QString languageOf(const Entry &entry, const QString &title) {
    // GB/T 7714 writes 等 after Chinese authors and "et al." after others; a title in CJK is
    // what makes a record Chinese, whatever else it holds.
    if (holdsCjkLetter(title))
        return QStringLiteral("zh-CN");
    // Otherwise the record's own word for its language, where it has one.
    static const QHash<QString, QString> named = {
        {QStringLiteral("中文"), QStringLiteral("zh-CN")},
        {QStringLiteral("汉语"), QStringLiteral("zh-CN")},
        {QStringLiteral("英文"), QStringLiteral("en")},
        {QStringLiteral("英语"), QStringLiteral("en")},
        {QStringLiteral("日文"), QStringLiteral("ja")},
        {QStringLiteral("日语"), QStringLiteral("ja")},
        {QStringLiteral("俄文"), QStringLiteral("ru")},
        {QStringLiteral("俄语"), QStringLiteral("ru")},
        {QStringLiteral("德文"), QStringLiteral("de")},
        {QStringLiteral("德语"), QStringLiteral("de")},
        {QStringLiteral("法文"), QStringLiteral("fr")},
        {QStringLiteral("法语"), QStringLiteral("fr")},
        {QStringLiteral("chinese"), QStringLiteral("zh-CN")},
        {QStringLiteral("english"), QStringLiteral("en")},
        {QStringLiteral("japanese"), QStringLiteral("ja")},
        {QStringLiteral("russian"), QStringLiteral("ru")},
        {QStringLiteral("german"), QStringLiteral("de")},
        {QStringLiteral("french"), QStringLiteral("fr")},
    };
    const QString said = oneLine(firstOf(entry, LanguageFields)).toLower();
    if (named.contains(said))
        return named.value(said);
    static const QRegularExpression tag(QStringLiteral("^[a-z]{2,3}(-[a-z0-9]{2,8})*$"));
    if (tag.match(said).hasMatch())
        return said;
    // A record of a Chinese database with a Latin title and nothing else said is in English.
    return QStringLiteral("en");
}

} // namespace

Citation citationOf(const Entry &entry) {
    Citation c;
    c.title = oneLine(firstOf(entry, TitleFields));
    for (const QString &author : splitList(entry.value(AuthorField))) {
        const Name n = parseName(author);
        if (n.isLiteral() || !n.family.isEmpty())
            c.authors << n;
    }
    c.affiliation = oneLine(entry.value(AffiliationField));

    // 报刊名 names a newspaper (RIS NEWS, CSL article-newspaper, biblatex's newspaper
    // subtype); 刊名 a journal, which wins when a record has both.
    QString source = entry.value(JournalField);
    if (source.trimmed().isEmpty() && !entry.value(NewspaperField).trimmed().isEmpty()) {
        source = entry.value(NewspaperField);
        c.type = Citation::Type::Newspaper;
    }
    const SourceParts parts = parseSource(source);
    c.container = parts.container;
    c.year = parts.year;
    c.month = parts.month;
    c.day = parts.day;
    c.volume = parts.volume;
    c.issue = parts.issue;
    c.pageRanges = parts.pageRanges;
    // Fields of their own say it better than a source field does.
    static const QRegularExpression year(Year);
    const QRegularExpressionMatch y =
        year.match(oneLine(firstOf(entry, YearFields)).normalized(QString::NormalizationForm_KC));
    if (y.hasMatch()) {
        c.year = y.captured();
        c.month.clear();
        c.day.clear();
    }
    if (const QString v = oneLine(firstOf(entry, VolumeFields)); !v.isEmpty())
        c.volume = plainNumber(v);
    if (const QString v = oneLine(firstOf(entry, IssueFields)); !v.isEmpty())
        c.issue = plainNumber(v);
    if (const QString v = oneLine(firstOf(entry, PageFields)); !v.isEmpty())
        c.pageRanges = pageRangesOf(v);

    c.issn = oneLine(entry.value(IssnField));
    c.cn = oneLine(firstOf(entry, CnFields));
    c.clc = oneLine(entry.value(ClassField));
    c.callNumber = oneLine(firstOf(entry, CallNumberFields));
    c.accession = oneLine(entry.value(AccessionField));
    c.place = oneLine(firstOf(entry, PlaceFields));
    c.abstract = oneLine(entry.value(AbstractField));
    c.keywords = splitList(entry.value(KeywordField));
    c.language = languageOf(entry, c.title);
    return c;
}

namespace {

// ASCII letters and digits of a text, accents taken off (NFKD drops them as marks).
QString asciiOf(const QString &text, bool keepPunctuation) {
    QString out;
    for (QChar c : text.normalized(QString::NormalizationForm_KD)) {
        if (c.unicode() >= 0x80)
            continue;
        if (c.isLetterOrNumber() || (keepPunctuation && (c == u'-' || c == u'_' || c == u':')))
            out += c;
    }
    return out;
}

QString letters(int n) {
    // a..z, then aa, ab, ...
    QString s;
    do {
        s.prepend(QChar(u'a' + n % 26));
        n = n / 26 - 1;
    } while (n >= 0);
    return s;
}

} // namespace

void assignKeys(QList<Citation> &citations) {
    QStringList bases;
    int counter = 0;
    for (const Citation &c : citations) {
        QString base;
        const Name first = c.authors.value(0);
        if (!first.isLiteral())
            base = asciiOf(first.family, false).toLower();
        if (!base.isEmpty() && !base.front().isLetter())
            base.clear();
        if (!base.isEmpty()) {
            base += c.year;
        } else {
            base = asciiOf(c.accession, true);
            if (base.isEmpty() || !base.front().isLetterOrNumber())
                base = QStringLiteral("qen%1").arg(++counter);
        }
        bases << base;
    }
    // Keys made once stay as they are; a key made for several records gets a letter in each,
    // past any letter form another record's own key already has.
    QHash<QString, int> total, next;
    for (const QString &b : bases)
        ++total[b];
    QSet<QString> used;
    for (const QString &b : bases)
        if (total.value(b) == 1)
            used.insert(b);
    for (qsizetype i = 0; i < citations.size(); ++i) {
        const QString &b = bases[i];
        QString key = b;
        if (total.value(b) > 1) {
            do
                key = b + letters(next[b]++);
            while (used.contains(key));
            used.insert(key);
        }
        citations[i].key = key;
    }
}

} // namespace qen::records
