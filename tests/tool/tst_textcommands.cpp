// qentool text and find on a package that Python's zipfile made, with pages drawn with known
// text; the hOCR is read back by Python's html.parser.
#include "articles/imagedocument.h"
#include "ocrpage.h"
#include "testfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

const char *const MakePackage = R"(
import sys, zipfile
out, title, pages = sys.argv[1], sys.argv[2], sys.argv[3:]
with zipfile.ZipFile(out, 'w') as z:
    for p in pages:
        z.write(p, p.rsplit('/', 1)[-1])
    z.comment = title.encode('utf-8')
)";

const char *const ReadHocr = R"(
import sys
from html.parser import HTMLParser
class Reader(HTMLParser):
    def __init__(self):
        super().__init__()
        self.stack, self.pages, self.lines, self.words, self.word = [], 0, 0, [], None
        self.bad = []
    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        kind = a.get('class', '')
        title = a.get('title', '')
        if kind in ('ocr_page', 'ocr_carea', 'ocr_line', 'ocrx_word'):
            if 'bbox ' not in title:
                self.bad.append(kind + ' without bbox')
            else:
                box = title.split('bbox ')[1].split(';')[0].split()
                if len(box) != 4 or int(box[0]) > int(box[2]) or int(box[1]) > int(box[3]):
                    self.bad.append(kind + ' bad bbox ' + title)
        if kind == 'ocr_page':
            self.pages += 1
        if kind == 'ocr_line':
            self.lines += 1
        if kind == 'ocrx_word':
            if 'x_wconf ' not in title:
                self.bad.append('word without x_wconf')
            self.word = ''
        self.stack.append(kind)
    def handle_endtag(self, tag):
        kind = self.stack.pop()
        if kind == 'ocrx_word':
            self.words.append(self.word)
            self.word = None
    def handle_data(self, data):
        if self.word is not None:
            self.word += data
r = Reader()
r.feed(sys.stdin.read())
r.close()
print(r.pages, r.lines, len(r.words), len(r.bad), len(r.stack))
print(';'.join(r.bad))
print(''.join(r.words))
)";

} // namespace

class TstTextCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void textPrintsEveryPage();
    void secondRunComesFromTheCache();
    void hocrReadsBack();
    void json();
    void find_data();
    void find();
    void errors_data();
    void errors();
    void topdfWithText();
    void topdfWithTextFromTheCacheAlone();

private:
    Run qentool(const QStringList &args, const QStringList &env = {});
    QTemporaryDir m_dir;
    QString m_package;
    QStringList m_truth; // per page
    QString m_text;      // the first run's output
};

Run TstTextCommands::qentool(const QStringList &args, const QStringList &extraEnv) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_CACHE_HOME"_qs, m_dir.filePath(u"cache"_qs));
    env.insert(u"QENINFO_HOME"_qs, m_dir.filePath(u"home"_qs));
    for (const QString &e : extraEnv)
        env.insert(e.section(u'=', 0, 0), e.section(u'=', 1));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QEN_BINARY_DIR "/src/qentool"), args);
    p.waitForFinished(180000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

void TstTextCommands::initTestCase() {
    if (!QFile::exists(test::builtOcrLibrary()))
        QSKIP("the recognition library is not built");
    if (!test::ocrChineseDataInstalled())
        QSKIP("needs tesseract-ocr-chi-sim (chi_sim.traineddata)");
    if (!test::ocrFontAvailable() || QStandardPaths::findExecutable(u"python3"_qs).isEmpty())
        QSKIP("needs fonts-noto-cjk and python3");
    const QStringList lines = test::ocrTruthLines();
    QStringList pages;
    for (int i = 0; i < 2; ++i) {
        const QStringList part = lines.mid(i * 3, 3);
        m_truth << part.join(QString());
        test::OcrPageOptions o;
        o.bilevel = false;
        const QString file = m_dir.filePath(QStringLiteral("p%1.tif").arg(i + 1));
        ImageDocument::writeFile(test::renderOcrPage(part, o), file, ImageFileType::Tiff);
        pages << file;
    }
    m_package = m_dir.filePath(u"article.qen"_qs);
    QProcess py;
    py.start(u"python3"_qs, QStringList{u"-c"_qs, QString::fromUtf8(MakePackage), m_package,
                                        u"深度学习与文字识别"_qs} +
                                pages);
    QVERIFY(py.waitForFinished(30000));
    QCOMPARE(py.exitCode(), 0);
}

void TstTextCommands::textPrintsEveryPage() {
    const Run r = qentool({u"text"_qs, m_package});
    QVERIFY2(r.status == 0, qPrintable(r.err));
    const QStringList parts =
        r.out.split(QRegularExpression(u"^== .*\n"_qs, QRegularExpression::MultilineOption),
                    Qt::SkipEmptyParts);
    QVERIFY(r.out.startsWith(u"== 深度学习与文字识别 : 第1页\n"_qs));
    QVERIFY(r.out.contains(u"\n== 深度学习与文字识别 : 第2页\n"_qs));
    QVERIFY(!r.out.contains(u"\r"_qs));
    QCOMPARE(parts.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const double cer = test::characterErrorRate(m_truth[i], parts[i]);
        QVERIFY2(cer <= 0.015, qPrintable(parts[i]));
        QCOMPARE(parts[i].count(u"\n"_qs), 3);
    }
    m_text = r.out;
    QCOMPARE(QDir(m_dir.filePath(u"cache/QenBrowser/text"_qs))
                 .entryList({u"*.qtl"_qs}, QDir::Files)
                 .size(),
             2);
}

void TstTextCommands::secondRunComesFromTheCache() {
    if (m_text.isEmpty())
        QSKIP("the first run failed");
    const QString folder = m_dir.filePath(u"cache/QenBrowser/text"_qs);
    // An entry spoilt on disk is read again and replaced; the other one is used as it is.
    const QStringList entries = QDir(folder).entryList(QDir::Files, QDir::Name);
    QFile spoilt(folder + u"/"_qs + entries.first());
    QVERIFY(spoilt.open(QIODevice::ReadWrite));
    const qint64 size = spoilt.size();
    QVERIFY(spoilt.resize(size / 2));
    spoilt.close();
    Run r = qentool({u"text"_qs, m_package});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, m_text);
    QCOMPARE(QFileInfo(folder + u"/"_qs + entries.first()).size(), size);
    // The same page in another package comes from the cache: a page alone reads as its file.
    r = qentool({u"text"_qs, m_dir.filePath(u"p2.tif"_qs)});
    QCOMPARE(r.status, 0);
    QVERIFY(r.out.startsWith(u"== p2 : 第1页\n"_qs));
    QVERIFY(m_text.endsWith(r.out.mid(r.out.indexOf(u'\n') + 1)));
    QCOMPARE(QDir(folder).entryList({u"*.qtl"_qs}, QDir::Files).size(), 2);
}

void TstTextCommands::hocrReadsBack() {
    const Run r = qentool({u"text"_qs, u"--hocr"_qs, m_package});
    QVERIFY2(r.status == 0, qPrintable(r.err));
    QProcess py;
    py.start(u"python3"_qs, {u"-c"_qs, QString::fromUtf8(ReadHocr)});
    py.write(r.out.toUtf8());
    py.closeWriteChannel();
    QVERIFY(py.waitForFinished(30000));
    QCOMPARE(py.exitCode(), 0);
    const QStringList report = QString::fromUtf8(py.readAllStandardOutput()).split(u'\n');
    const QStringList counts = report.value(0).split(u' ');
    QCOMPARE(counts.value(0), u"2"_qs); // pages
    QCOMPARE(counts.value(1), u"6"_qs); // lines
    QVERIFY(counts.value(2).toInt() > 60);
    QCOMPARE(counts.value(3), u"0"_qs); // faults
    QCOMPARE(counts.value(4), u"0"_qs); // elements left open
    QVERIFY2(test::characterErrorRate(m_truth.join(QString()), report.value(2)) <= 0.015,
             qPrintable(report.value(2)));
}

void TstTextCommands::json() {
    const Run r = qentool({u"text"_qs, u"--json"_qs, m_package});
    QVERIFY2(r.status == 0, qPrintable(r.err));
    const QJsonArray pages = QJsonDocument::fromJson(r.out.toUtf8())[u"pages"_qs].toArray();
    QCOMPARE(pages.size(), 2);
    const QJsonObject first = pages[0].toObject();
    QCOMPARE(first[u"title"_qs].toString(), u"深度学习与文字识别"_qs);
    QCOMPARE(first[u"page"_qs].toInt(), 1);
    QCOMPARE(first[u"dpi"_qs].toInt(), 300);
    const QJsonArray lines = first[u"blocks"_qs][0][u"lines"_qs].toArray();
    QVERIFY(!lines.isEmpty());
    const QJsonArray glyphs = lines[0][u"glyphs"_qs].toArray();
    QString text;
    for (const QJsonValue &g : glyphs) {
        text += (g[u"blankBefore"_qs].toBool() ? u" "_qs : QString()) + g[u"text"_qs].toString();
        QCOMPARE(g[u"box"_qs].toArray().size(), 4);
    }
    QCOMPARE(text, lines[0][u"text"_qs].toString());
}

void TstTextCommands::find_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("hit"); // page:line
    QTest::newRow("on the second page") << QStringList{u"年的期刊"_qs} << 0 << u"2:1"_qs;
    QTest::newRow("full-width digits") << QStringList{u"２０２０年"_qs} << 0 << u"2:1"_qs;
    QTest::newRow("across a line end") << QStringList{u"显著进展。 本文"_qs} << 0 << u"1:1"_qs;
    QTest::newRow("not there") << QStringList{u"神经元"_qs} << 1 << QString();
    QTest::newRow("one character off") << QStringList{u"卷积神径网络"_qs} << 1 << QString();
    QTest::newRow("one character off, tolerant")
        << QStringList{u"卷积神径网络"_qs, u"--tolerant"_qs} << 0 << u"1:2"_qs;
}

void TstTextCommands::find() {
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, hit);
    const Run r = qentool(QStringList{u"find"_qs, args.takeFirst(), m_package} + args);
    QVERIFY2(r.status == status, qPrintable(r.err + r.out));
    if (hit.isEmpty()) {
        QCOMPARE(r.out, QString());
        return;
    }
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines[0].startsWith(m_package + u":"_qs + hit + u": "_qs), qPrintable(lines[0]));
    // The line as text prints it.
    QVERIFY(m_text.contains(u"\n"_qs + lines[0].mid(lines[0].indexOf(u": "_qs) + 2) + u"\n"_qs));
}

void TstTextCommands::errors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");
    QTest::newRow("find without files") << QStringList{u"find"_qs, u"x"_qs} << 2 << u"usage"_qs;
    QTest::newRow("find a blank") << QStringList{u"find"_qs, u" "_qs, u"a.tif"_qs} << 2
                                  << u"empty"_qs;
    QTest::newRow("a missing file after a hit")
        << QStringList{u"find"_qs, u"年的期刊"_qs, u"@PKG@"_qs, u"/no/such.tif"_qs} << 2
        << u"/no/such.tif"_qs;
    QTest::newRow("text of a missing file")
        << QStringList{u"text"_qs, u"/no/such.tif"_qs} << 2 << u"/no/such.tif"_qs;
    QTest::newRow("text, two forms")
        << QStringList{u"text"_qs, u"--hocr"_qs, u"--json"_qs, u"a"_qs} << 2 << u"usage"_qs;
    QTest::newRow("text, unknown option")
        << QStringList{u"text"_qs, u"--pdf"_qs, u"a"_qs} << 2 << u"--pdf"_qs;
}

void TstTextCommands::errors() {
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, error);
    args.replaceInStrings(u"@PKG@"_qs, m_package);
    const Run r = qentool(args);
    QCOMPARE(r.status, status);
    QVERIFY2(r.err.contains(error), qPrintable(r.err));
    if (args.contains(m_package))
        QVERIFY(r.out.startsWith(m_package + u":2:1: "_qs));
}

// topdf --text on the pages text has read: the same text comes out of the PDF, with no space
// between Chinese characters; without --text the PDF has no text at all.
void TstTextCommands::topdfWithText() {
    if (QStandardPaths::findExecutable(u"pdftotext"_qs).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    const QString withText = m_dir.filePath(u"text.pdf"_qs),
                  plain = m_dir.filePath(u"plain.pdf"_qs);
    const Run r = qentool({u"topdf"_qs, u"--text"_qs, withText, m_package});
    QVERIFY2(r.status == 0, qPrintable(r.err));
    QVERIFY(qentool({u"topdf"_qs, plain, m_package}).status == 0);
    QProcess p;
    p.start(u"pdftotext"_qs, {withText, u"-"_qs});
    QVERIFY(p.waitForFinished(30000));
    const QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(u'\f');
    QVERIFY(pages.size() >= 2);
    const Run text = qentool({u"text"_qs, m_package});
    const QStringList read =
        text.out.split(QRegularExpression(u"^== .*\n"_qs, QRegularExpression::MultilineOption),
                       Qt::SkipEmptyParts);
    QCOMPARE(read.size(), 2);
    for (int i = 0; i < 2; ++i) {
        QVERIFY2(!test::hasSpaceBetweenChinese(pages[i]), qPrintable(pages[i]));
        QVERIFY2(test::characterErrorRate(m_truth[i], pages[i]) <=
                     test::characterErrorRate(m_truth[i], read[i]) + 0.003,
                 qPrintable(pages[i]));
    }
    QFile f(plain);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(!f.readAll().contains("/Font"));
}

// Pages the cache holds go into a PDF with their text without the engine being loaded (the
// dynamic linker's own account of what it loaded says so), and the PDF is byte for byte the
// one the engine's road writes. A stamp that no longer matches sends the job down that road,
// which stamps again.
void TstTextCommands::topdfWithTextFromTheCacheAlone() {
    const QString page = m_dir.filePath(u"g4.tif"_qs);
    ImageDocument::writeFile(test::renderOcrPage(test::ocrTruthLines().mid(0, 3)), page,
                             ImageFileType::Tiff);
    QCOMPARE(qentool({u"text"_qs, page}).status, 0);
    const QString stamp = m_dir.filePath(u"cache/QenBrowser/text/engine.stamp"_qs);
    QFile stampFile(stamp);
    QVERIFY(stampFile.open(QIODevice::ReadOnly));
    const QByteArray stamped = stampFile.readAll();
    stampFile.close();
    auto loadsEngine = [](const Run &r) { return r.err.contains(u"libqenocr"_qs); };

    const QString quick = m_dir.filePath(u"quick.pdf"_qs), full = m_dir.filePath(u"full.pdf"_qs);
    const Run cached = qentool({u"topdf"_qs, u"--text"_qs, quick, page}, {u"LD_DEBUG=libs"_qs});
    QCOMPARE(cached.status, 0);
    QVERIFY2(!loadsEngine(cached), "the engine was loaded for pages the cache holds");

    QVERIFY(stampFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    stampFile.write(QByteArray(stamped).replace("tesseract", "tesseract?"));
    stampFile.close();
    const Run read = qentool({u"topdf"_qs, u"--text"_qs, full, page}, {u"LD_DEBUG=libs"_qs});
    QCOMPARE(read.status, 0);
    QVERIFY(loadsEngine(read));
    QCOMPARE(test::readFile(quick), test::readFile(full));
    QVERIFY(stampFile.open(QIODevice::ReadOnly));
    QCOMPARE(stampFile.readAll(), stamped);
    stampFile.close();

    // An entry cut short is no entry: the page is read again, to the same PDF.
    const QDir cache(m_dir.filePath(u"cache/QenBrowser/text"_qs));
    for (const QString &name : cache.entryList({u"*.qtl"_qs}, QDir::Files)) {
        QFile entry(cache.filePath(name));
        QVERIFY(entry.resize(entry.size() / 2));
    }
    const QString again = m_dir.filePath(u"again.pdf"_qs);
    const Run reread = qentool({u"topdf"_qs, u"--text"_qs, again, page}, {u"LD_DEBUG=libs"_qs});
    QCOMPARE(reread.status, 0);
    QVERIFY(loadsEngine(reread));
    QCOMPARE(test::readFile(again), test::readFile(quick));
}

QTEST_MAIN(TstTextCommands)
#include "tst_textcommands.moc"
