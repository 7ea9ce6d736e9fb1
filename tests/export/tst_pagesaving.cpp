#include "export/pagesaving.h"
#include "platform/error.h"

#include "exportfixture.h"

#include <QDirIterator>
#include <QtTest>

#include <sys/stat.h>

using namespace qen;

// Saving articles into a chosen folder. Each row builds a tree from sources written by the
// test: "name" is a page with content "page <name>", "wwp:name" a WWP page, "bad:name" a WWP
// page nothing can decode, "gone:name" a page whose file has disappeared since opening.
// Packages are "title|page,page,..." (title may be anything), single files "file".
class TestPageSaving : public QObject {
    Q_OBJECT
private slots:
    void init();
    void hasExtension_data();
    void hasExtension();
    void imageSaveType_data();
    void imageSaveType();
    void saveArticle_data();
    void saveArticle();
    void saveAll_data();
    void saveAll();
    void fullDiskKeepsTheGoodFile();
    void missingTargetFolder();
    void foldersOpenAsTheUmaskSays_data();
    void foldersOpenAsTheUmaskSays();

private:
    void build(const QStringList &roots);
    void prepare(const QStringList &before);
    QStringList listing() const;

    std::unique_ptr<test::ExportWorld> m_world;
    QTemporaryDir *m_dir = nullptr;
    ArticleTree *m_tree = nullptr;
    PageDisplay *m_display = nullptr;
    QString m_target;
};

void TestPageSaving::init() {
    m_world = std::make_unique<test::ExportWorld>();
    m_dir = &m_world->dir;
    m_tree = &m_world->tree;
    m_display = &m_world->display;
    m_target = m_dir->filePath("target");
    QVERIFY(QDir().mkpath(m_target));
}

void TestPageSaving::build(const QStringList &roots) {
    int n = 0;
    for (const QString &root : roots) {
        const QString source = m_dir->filePath(QString("src%1").arg(++n));
        QVERIFY(QDir().mkpath(source));
        const bool package = root.contains('|');
        const QStringList specs = package ? root.section('|', 1).split(',') : QStringList{root};
        QStringList names;
        for (const QString &spec : specs) {
            const QString kind = spec.contains(':') ? spec.section(':', 0, 0) : QString();
            const QString name = spec.section(':', -1);
            names << name;
            QByteArray bytes = "page " + name.toUtf8();
            if (kind == "wwp")
                bytes = fixture::wwpPage();
            else if (kind == "bad")
                bytes = QByteArray(4096, '\x5a');
            if (kind != "gone")
                fixture::writeAll(source + '/' + name, bytes);
        }
        if (package)
            QVERIFY(
                m_tree->addPackage(source + "/pkg.qen", root.section('|', 0, 0), source, names));
        else
            QVERIFY(m_tree->addSingle(source + '/' + names.first()));
    }
}

// "name" is a file holding "old", "dir:name" a folder.
void TestPageSaving::prepare(const QStringList &before) {
    for (const QString &entry : before) {
        if (entry.startsWith("dir:"))
            QVERIFY(QDir().mkpath(m_target + '/' + entry.mid(4)));
        else
            fixture::writeAll(m_target + '/' + entry, "old");
    }
}

// Every file under the target, with "/" after folders that hold nothing.
QStringList TestPageSaving::listing() const {
    QStringList out;
    QDirIterator it(m_target, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(m_target).relativeFilePath(path);
        if (!it.fileInfo().isDir())
            out << rel;
        else if (QDir(path).isEmpty())
            out << rel + '/';
    }
    out.sort();
    return out;
}

void TestPageSaving::hasExtension_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("expected");
    QTest::newRow("plain") << "/home/a/page.tif" << true;
    QTest::newRow("none") << "/home/a/page" << false;
    QTest::newRow("dot in a folder only") << "/home/a.b/page" << false;
    QTest::newRow("hidden-looking name") << "/home/a/.page" << true;
    QTest::newRow("trailing dot") << "/home/a/page." << false;
}

void TestPageSaving::hasExtension() {
    QFETCH(QString, path);
    QTEST(savenames::hasExtension(path), "expected");
}

void TestPageSaving::imageSaveType_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<ImageFileType>("type");
    using enum ImageFileType;
    QTest::addColumn<QString>("target");
    QTest::newRow("tif") << "/a/x.TIF" << Tiff << "/a/x.TIF";
    QTest::newRow("tiff") << "/a/x.tiff" << Tiff << "/a/x.tiff";
    QTest::newRow("bmp") << "/a/x.bmp" << Bmp << "/a/x.bmp";
    QTest::newRow("jpg") << "/a/x.jpg" << Jpeg << "/a/x.jpg";
    QTest::newRow("jpeg") << "/a/x.jpeg" << Jpeg << "/a/x.jpeg";
    QTest::newRow("gif") << "/a/x.gif" << Gif << "/a/x.gif";
    QTest::newRow("other gets .tif") << "/a/x.png" << Tiff << "/a/x.png.tif";
    QTest::newRow("dotted folder") << "/a.jpg/x" << Tiff << "/a.jpg/x.tif";
}

void TestPageSaving::imageSaveType() {
    QFETCH(QString, chosen);
    QString target;
    QTEST(savenames::imageSaveType(chosen, &target), "type");
    QTEST(target, "target");
}

void TestPageSaving::saveArticle_data() {
    QTest::addColumn<QString>("article");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<int>("skipped");

    QTest::newRow("pages keep their names")
        << "论文|p1.tif,p2.jpg" << QStringList{} << QStringList{"论文/p1.tif", "论文/p2.jpg"} << 0;
    QTest::newRow("wwp saved as its decoded tiff")
        << "论文|wwp:p1.wwp" << QStringList{} << QStringList{"论文/p1.tif"} << 0;
    QTest::newRow("wwp and tif of one name both kept")
        << "论文|p1.tif,wwp:p1.wwp" << QStringList{}
        << QStringList{"论文/p1 (2).tif", "论文/p1.tif"} << 0;
    QTest::newRow("title with slash and control characters")
        << "a/../b\tc|p1.tif" << QStringList{} << QStringList{"a_.._b_c/p1.tif"} << 0;
    QTest::newRow("title .. gets the package name")
        << "..|p1.tif" << QStringList{} << QStringList{"pkg/p1.tif"} << 0;
    QTest::newRow("empty title gets the package name")
        << " |p1.tif" << QStringList{} << QStringList{"pkg/p1.tif"} << 0;
    QTest::newRow("page file disappeared")
        << "论文|p1.tif,gone:p2.tif" << QStringList{} << QStringList{"论文/p1.tif"} << 1;
    QTest::newRow("wwp that cannot be decoded")
        << "论文|bad:p1.wwp,p2.tif" << QStringList{} << QStringList{"论文/p2.tif"} << 1;
    QTest::newRow("existing folder used, its page replaced")
        << "论文|p1.tif" << QStringList{"dir:论文", "论文/p1.tif", "论文/keep.txt"}
        << QStringList{"论文/keep.txt", "论文/p1.tif"} << 0;
    QTest::newRow("a file where the folder goes stays")
        << "论文|p1.tif" << QStringList{"论文"} << QStringList{"论文", "论文 (2)/p1.tif"} << 0;
    QTest::newRow("a folder where a page goes stays")
        << "论文|p1.tif" << QStringList{"dir:论文/p1.tif"}
        << QStringList{"论文/p1 (2).tif", "论文/p1.tif/"} << 0;
}

void TestPageSaving::saveArticle() {
    QFETCH(QString, article);
    QFETCH(QStringList, before);
    build({article});
    prepare(before);
    ArticleSaver saver(*m_tree, *m_display);
    const ArticleSaver::Outcome &done = saver.saveArticle(1, m_target);
    QTEST(listing(), "after");
    QTEST(int(done.skipped.size()), "skipped");
    // What is written is the page as it was opened, byte for byte.
    if (QTest::currentDataTag() == QByteArray("pages keep their names") ||
        QTest::currentDataTag() == QByteArray("wwp saved as its decoded tiff"))
        QCOMPARE(fixture::readAll(m_target + "/论文/p1.tif"), fixture::readAll(m_tree->key(2)));
}

void TestPageSaving::saveAll_data() {
    QTest::addColumn<QStringList>("roots");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<int>("skipped");

    QTest::newRow("packages numbered, single files beside them")
        << QStringList{"A|p1.tif,p2.tif,p3.tif", "B|x.tif,y.tif", "c.tif"} << QStringList{}
        << QStringList{"A/1.tif", "A/2.tif", "A/3.tif", "B/1.tif", "B/2.tif", "c.tif"} << 0;
    QTest::newRow("two single files of one name")
        << QStringList{"001.tif", "001.tif"} << QStringList{}
        << QStringList{"001 (2).tif", "001.tif"} << 0;
    QTest::newRow("two packages of one title")
        << QStringList{"A|p1.tif", "A|p1.tif"} << QStringList{}
        << QStringList{"A (2)/1.tif", "A/1.tif"} << 0;
    QTest::newRow("a page keeps its own type")
        << QStringList{"A|p1.tif,p2.jpg,wwp:p3.wwp"} << QStringList{}
        << QStringList{"A/1.tif", "A/2.jpg", "A/3.tif"} << 0;
    QTest::newRow("single wwp saved as tiff")
        << QStringList{"wwp:s.wwp"} << QStringList{} << QStringList{"s.tif"} << 0;
    QTest::newRow("single file and package of one name")
        << QStringList{"A", "A|p1.tif"} << QStringList{} << QStringList{"A", "A (2)/1.tif"} << 0;
    QTest::newRow("titles of a slash and a control character")
        << QStringList{"/|p1.tif", "\n|p1.tif"} << QStringList{}
        << QStringList{"_ (2)/1.tif", "_/1.tif"} << 0;
    QTest::newRow("missing and undecodable pages named, the rest saved")
        << QStringList{"A|p1.tif,gone:p2.tif,bad:p3.wwp", "gone:c.tif"} << QStringList{}
        << QStringList{"A/1.tif"} << 3;
}

void TestPageSaving::saveAll() {
    QFETCH(QStringList, roots);
    QFETCH(QStringList, before);
    build(roots);
    prepare(before);
    ArticleSaver saver(*m_tree, *m_display);
    const ArticleSaver::Outcome &done = saver.saveAll(m_target);
    QTEST(listing(), "after");
    QTEST(int(done.skipped.size()), "skipped");
    for (const QString &line : done.skipped)
        QVERIFY2(line.contains(m_dir->path()), qPrintable(line)); // names the file
}

void TestPageSaving::fullDiskKeepsTheGoodFile() {
    const QByteArray big(64 * 1024, 'x');
    build({"论文|p1.tif,p2.tif"});
    fixture::writeAll(m_tree->key(3), big);
    prepare({"dir:论文", "论文/p2.tif"});
    ArticleSaver saver(*m_tree, *m_display);
    QString message;
    try {
        const test::FileSizeLimit full(16 * 1024);
        saver.saveArticle(1, m_target);
    } catch (const Error &e) {
        message = e.description();
    }
    QVERIFY2(message.contains(m_target + "/论文/p2.tif"), qPrintable(message));
    QCOMPARE(saver.outcome().saved, 1);
    QCOMPARE(listing(), QStringList({"论文/p1.tif", "论文/p2.tif"}));
    QCOMPARE(fixture::readAll(m_target + "/论文/p2.tif"), QByteArray("old"));
}

void TestPageSaving::missingTargetFolder() {
    build({"论文|p1.tif"});
    ArticleSaver saver(*m_tree, *m_display);
    const QString gone = m_dir->filePath("no such folder");
    QVERIFY_THROWS_EXCEPTION(Error, saver.saveAll(gone));
    QVERIFY(!QFileInfo::exists(gone));
}

// A saved article's folder is the user's like the pages in it: as open as the umask allows,
// not kept to its owner as the program's working folders are.
void TestPageSaving::foldersOpenAsTheUmaskSays_data() {
    QTest::addColumn<int>("mask");
    QTest::addColumn<bool>("all");
    QTest::newRow("one article, umask 022") << 022 << false;
    QTest::newRow("one article, umask 027") << 027 << false;
    QTest::newRow("everything, umask 022") << 022 << true;
}

void TestPageSaving::foldersOpenAsTheUmaskSays() {
    QFETCH(int, mask);
    QFETCH(bool, all);
    build({"论文|p1.tif"});
    ArticleSaver saver(*m_tree, *m_display);
    const mode_t before = ::umask(mode_t(mask));
    if (all)
        saver.saveAll(m_target);
    else
        saver.saveArticle(1, m_target);
    ::umask(before);
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(m_target + "/论文").constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 0777), 0777 & ~mask);
}

QTEST_GUILESS_MAIN(TestPageSaving)
#include "tst_pagesaving.moc"
