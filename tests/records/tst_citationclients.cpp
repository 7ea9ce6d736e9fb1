// Real clients read our output back: bibutils (ris2xml, bib2xml, end2xml) every entry with all
// its authors, biber's data model check on our biblatex without a warning, and pandoc with
// Debian's GB/T 7714 numeric style our own citation text from the title on. Each test skips,
// saying so, when its client is not installed (scripts/setup.sh installs them all).
#include "records/citationformats.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include "testfiles.h"

using namespace qen::records;

namespace {

const QString GbtStyle = QStringLiteral("/usr/share/citation-style-language/styles/"
                                        "china-national-standard-gb-t-7714-2015-numeric.csl");

struct Run {
    int status = -1;
    QString out, err;
};

Run run(const QString &program, const QStringList &args, const QString &folder) {
    QProcess p;
    p.setWorkingDirectory(folder);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(120000))
        p.kill();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// The records the clients read: the journal fixture (every kind of source field, a
// newspaper, Latin and Chinese names, five authors), the two encodings' fixture, the RTF one,
// and a record with 500 authors.
QList<Citation> fixtureCitations(const QString &folder) {
    QString many = QStringLiteral("【题　名】五百位作者的论文\n【作　者】");
    for (int i = 1; i <= 500; ++i)
        many += QStringLiteral("作者%1；").arg(i);
    many += QStringLiteral("\n【刊　名】情报学报 2004年 第23卷 第3期 45-50页\n");
    const QString manyPath = folder + QStringLiteral("/many.txt");
    qen::test::writeFile(manyPath, many.toUtf8());
    const CitationBatch batch =
        readCitations({QStringLiteral(QEN_TEST_DATA "/record-journals.txt"),
                       QStringLiteral(QEN_TEST_DATA "/record-gbk-two-entries.txt"),
                       QStringLiteral(QEN_TEST_DATA "/record-rtf-escaped-markers.rtf"), manyPath});
    if (!batch.problems.isEmpty())
        qWarning() << batch.problems;
    return batch.citations;
}

// The authors of each top-level MODS record, as "literal" or "family|given given".
QList<QStringList> modsAuthors(const QString &xml) {
    QList<QStringList> records;
    QXmlStreamReader r(xml);
    int depth = 0, modsDepth = -1;
    QString family, literal;
    QStringList given;
    bool inName = false;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement()) {
            ++depth;
            if (r.name() == u"mods" && modsDepth < 0) {
                modsDepth = depth;
                records.append(QStringList());
            } else if (r.name() == u"name" && depth == modsDepth + 1) {
                inName = true;
                family.clear();
                literal.clear();
                given.clear();
            } else if (inName && r.name() == u"namePart") {
                const QString type = r.attributes().value(QStringLiteral("type")).toString();
                const QString text = r.readElementText();
                --depth; // readElementText consumed the end element
                if (type == u"family")
                    family = text;
                else if (type == u"given")
                    given << text;
                else
                    literal = text;
            }
        } else if (r.isEndElement()) {
            if (r.name() == u"name" && inName && depth == modsDepth + 1) {
                inName = false;
                records.last() << (family.isEmpty() && given.isEmpty()
                                       ? literal
                                       : family + QLatin1Char('|') + given.join(QLatin1Char(' ')));
            }
            if (depth == modsDepth)
                modsDepth = -1;
            --depth;
        }
    }
    return records;
}

QList<QStringList> expectedAuthors(const QList<Citation> &citations) {
    QList<QStringList> out;
    for (const Citation &c : citations) {
        QStringList names;
        for (const Name &n : c.authors)
            names << (n.isLiteral() ? n.literal : n.family + QLatin1Char('|') + n.given);
        out << names;
    }
    return out;
}

QString need(const char *program, const char *package) {
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(program));
    if (path.isEmpty())
        qInfo("%s is not installed (Debian package %s): skipped", program, package);
    return path;
}

} // namespace

class TestCitationClients : public QObject {
    Q_OBJECT
private slots:
    void bibutilsReadsEveryEntryAndAuthor_data();
    void bibutilsReadsEveryEntryAndAuthor();
    void biberValidatesTheDataModel();
    void pandocGivesOurGbtText();
};

void TestCitationClients::bibutilsReadsEveryEntryAndAuthor_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("extension");
    QTest::newRow("ris2xml") << "ris2xml" << int(CitationFormat::Ris) << "ris";
    QTest::newRow("bib2xml") << "bib2xml" << int(CitationFormat::Bibtex) << "bib";
    QTest::newRow("end2xml") << "end2xml" << int(CitationFormat::EndNote) << "enw";
}

void TestCitationClients::bibutilsReadsEveryEntryAndAuthor() {
    QFETCH(QString, program);
    QFETCH(int, format);
    QFETCH(QString, extension);
    const QString path = need(program.toLatin1().constData(), "bibutils");
    if (path.isEmpty())
        QSKIP("client not installed");
    QTemporaryDir dir;
    const QList<Citation> citations = fixtureCitations(dir.path());
    QCOMPARE(citations.size(), 10);
    const QString file = dir.filePath(QStringLiteral("refs.") + extension);
    qen::test::writeFile(file, formatCitations(citations, CitationFormat(format)));
    const Run r = run(path, {file}, dir.path());
    QVERIFY2(r.status == 0, qPrintable(r.err));
    // bibutils reads BibTeX as TeX does: an ASCII apostrophe is TeX's closing quote.
    QString xml = r.out;
    if (format == int(CitationFormat::Bibtex))
        xml.replace(QChar(0x2019), QLatin1Char('\''));
    const QList<QStringList> read = modsAuthors(xml);
    const QList<QStringList> expected = expectedAuthors(citations);
    QCOMPARE(read.size(), expected.size());
    for (qsizetype i = 0; i < read.size(); ++i)
        QCOMPARE(read[i], expected[i]);
    QCOMPARE(read.last().size(), 500);
}

void TestCitationClients::biberValidatesTheDataModel() {
    const QString biber = need("biber", "biber");
    if (biber.isEmpty())
        QSKIP("client not installed");
    QTemporaryDir dir;
    const QList<Citation> citations = fixtureCitations(dir.path());
    const QString in = dir.filePath(QStringLiteral("refs.bib"));
    const QString out = dir.filePath(QStringLiteral("checked.bib"));
    qen::test::writeFile(in, toBibtex(citations));
    const Run r = run(biber,
                      {QStringLiteral("--tool"), QStringLiteral("--validate-datamodel"),
                       QStringLiteral("--output-file"), out, in},
                      dir.path());
    const QString said = r.out + r.err;
    QVERIFY2(r.status == 0, qPrintable(said));
    QVERIFY2(!said.contains(QStringLiteral("WARN")) && !said.contains(QStringLiteral("ERROR")),
             qPrintable(said));
    // Every entry came through, with its escapes read back as text.
    const QString checked = QString::fromUtf8(qen::test::readFile(out));
    QCOMPARE(checked.count(QStringLiteral("@ARTICLE{")), citations.size());
    QVERIFY(checked.contains(QStringLiteral("ENTRYSUBTYPE = {newspaper}")));
    QVERIFY(checked.contains(QStringLiteral("LANGID = {chinese}")));
}

void TestCitationClients::pandocGivesOurGbtText() {
    const QString pandoc = need("pandoc", "pandoc");
    if (pandoc.isEmpty())
        QSKIP("client not installed");
    if (!QFile::exists(GbtStyle)) {
        qInfo("%s is missing (Debian package citation-style-language-styles): skipped",
              qPrintable(GbtStyle));
        QSKIP("style not installed");
    }
    QTemporaryDir dir;
    const QList<Citation> citations = fixtureCitations(dir.path());
    qen::test::writeFile(dir.filePath(QStringLiteral("refs.json")), toCslJson(citations));
    qen::test::writeFile(dir.filePath(QStringLiteral("doc.md")), "---\nnocite: '@*'\n---\n");
    const Run r =
        run(pandoc,
            {QStringLiteral("doc.md"), QStringLiteral("--citeproc"),
             QStringLiteral("--bibliography=refs.json"), QStringLiteral("--csl=") + GbtStyle,
             QStringLiteral("-t"), QStringLiteral("plain"), QStringLiteral("--wrap=none")},
            dir.path());
    QVERIFY2(r.status == 0, qPrintable(r.err));
    QStringList lines;
    for (const QString &line : r.out.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1Char('[')))
            lines << line;
    QCOMPARE(lines.size(), citations.size());
    // From the title on, character for character. Before it, Debian's pandoc 2.17 joins the
    // names with ". " and writes 等 after Latin names too; the standard, which we follow,
    // writes "王晓明, 李静, 陈国华, 等." and "SMITH J, BROWN A.".
    // The style keeps the bibliography in the order of the data (nocite '@*').
    for (qsizetype i = 0; i < citations.size(); ++i) {
        const Citation &c = citations[i];
        const QString ours = toGbt7714(c);
        const QString number = QStringLiteral("[%1] ").arg(i + 1);
        QVERIFY2(lines[i].startsWith(number), qPrintable(lines[i]));
        const QString key = c.title + QLatin1Char('[');
        QVERIFY2(lines[i].contains(key), qPrintable(lines[i]));
        QCOMPARE(lines[i].mid(lines[i].indexOf(key)), ours.mid(ours.indexOf(key)));
    }
}

QTEST_GUILESS_MAIN(TestCitationClients)
#include "tst_citationclients.moc"
