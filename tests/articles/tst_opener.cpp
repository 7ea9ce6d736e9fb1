#include "articles/articletree.h"
#include "articles/opener.h"
#include "articles/wwp.h"
#include "pageview/pagedisplay.h"
#include "platform/error.h"
#include "platform/workfolders.h"

#include "zipfixture.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

class TestOpener : public QObject {
    Q_OBJECT
private slots:
    void init();
    void kinds_data();
    void kinds();
    void packagePagesInCharacterCodeOrder();
    void itemsAreCleanedAndListEndsAtEmptyItem();
    void duplicatesAreSkipped();
    void firstKeyRule_data();
    void firstKeyRule();
    void packageWithoutPagesIsSkipped();
    void badPackageStopsTheListAndAddsNothing();
    void wwpPageDecodedOnce();
    void singleWwpGetsItsOwnFolder();
    void decodedPageNeverReplacesAnotherPage();
    void recordsAndUnknownTypes();

private:
    QString package(const QString &name, const QString &title, const QStringList &pages,
                    const QByteArray &data = fixture::g4Tiff());
    QString single(const QString &name, const QByteArray &data = fixture::g4Tiff());
    QString join(const QStringList &items) const { return items.join(QChar(u'\0')); }

    QTemporaryDir m_dir;
    std::unique_ptr<WorkFolders> m_folders;
    std::unique_ptr<ArticleTree> m_tree;
    std::unique_ptr<Opener> m_opener;
    std::unique_ptr<WwpDecoder> m_decoder;
    std::unique_ptr<PageDisplay> m_display;
    int m_case = 0;
};

QString TestOpener::package(const QString &name, const QString &title, const QStringList &pages,
                            const QByteArray &data) {
    std::vector<fixture::Entry> entries;
    for (const QString &p : pages)
        entries.push_back(fixture::file(fixture::gbk(p), data));
    const QString path = m_dir.filePath(QString::number(m_case) + "/" + name);
    QDir().mkpath(QFileInfo(path).path());
    fixture::writeZip(path, entries, fixture::gbk(title));
    return path;
}

QString TestOpener::single(const QString &name, const QByteArray &data) {
    const QString path = m_dir.filePath(QString::number(m_case) + "/" + name);
    QDir().mkpath(QFileInfo(path).path());
    fixture::writeAll(path, data);
    return path;
}

void TestOpener::init() {
    ++m_case;
    const QString root = m_dir.filePath(QStringLiteral("root%1").arg(m_case));
    m_folders = std::make_unique<WorkFolders>(root, m_dir.filePath("app"));
    m_folders->prepareAtStartup();
    m_tree = std::make_unique<ArticleTree>();
    m_opener = std::make_unique<Opener>(*m_tree, *m_folders);
    m_decoder = std::make_unique<WwpDecoder>(*m_folders);
    m_display = std::make_unique<PageDisplay>(*m_tree, *m_folders, *m_decoder);
}

void TestOpener::kinds_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("kind");
    const int package = int(Opener::ItemKind::Package);
    const int single = int(Opener::ItemKind::Single);
    const int ignored = int(Opener::ItemKind::Ignored);
    QTest::newRow("qen, any case") << "/a/b.QeN" << package;
    QTest::newRow("no dot anywhere") << "/a/page" << package;
    QTest::newRow("dot only in a folder name") << "/my.docs/page" << ignored;
    QTest::newRow("tif") << "/a/b.Tif" << single;
    QTest::newRow("jpeg is not jpg") << "/a/b.jpeg" << ignored;
}

void TestOpener::kinds() {
    QFETCH(QString, item);
    QFETCH(int, kind);
    QCOMPARE(int(Opener::kindOf(item)), kind);
}

void TestOpener::packagePagesInCharacterCodeOrder() {
    const QString path = package("report.qen", "图书馆学刊", {"p10.wwp", "p2.wwp", "p1.wwp"});
    const QString existing = m_folders->temp() + "/4194304report";
    QDir().mkpath(existing);
    QCOMPARE(m_opener->CreateTree(path), 1);
    QCOMPARE(m_tree->count(), 4);
    QCOMPARE(m_tree->text(1), QString("图书馆学刊"));
    const QString folder = existing + "0";
    QCOMPARE(m_tree->key(2), folder + "/p1.wwp");
    QCOMPARE(m_tree->key(3), folder + "/p10.wwp");
    QCOMPARE(m_tree->key(4), folder + "/p2.wwp");
    QCOMPARE(m_tree->text(4), QString("第3页"));
    QCOMPARE(m_tree->selected(), 1);
}

void TestOpener::itemsAreCleanedAndListEndsAtEmptyItem() {
    const QString a = single("a.tif");
    const QString b = single("b.tif");
    QCOMPARE(m_opener->CreateTree(join({"  \"" + a + "\"  ", "", b})), 1);
    QCOMPARE(m_tree->count(), 1);
    QCOMPARE(m_tree->key(1), a);
    QCOMPARE(m_tree->text(1), QString("a"));
}

void TestOpener::duplicatesAreSkipped() {
    const QString tif = single("same.tif");
    m_opener->CreateTree(tif);
    m_opener->CreateTree(tif);
    QCOMPARE(m_tree->count(), 1);
    // A single node alone never counts as a title, even with the same text.
    QVERIFY(!m_tree->TitleExists("same"));
    const QString first = package("one.qen", "同名文章", {"p1.tif"});
    const QString second = package("two.qen", "同名文章", {"p1.tif", "p2.tif"});
    m_opener->CreateTree(first);
    QCOMPARE(m_tree->count(), 3);
    m_opener->CreateTree(second);
    QCOMPARE(m_tree->count(), 3);
    // The second package's folder stays until the clean-up at exit.
    QVERIFY(QFileInfo(m_folders->temp() + "/4194304two/p2.tif").isFile());
    // A title that cleans down to nothing is a title like any other.
    m_opener->CreateTree(package("untitled.qen", "   ", {"p1.tif"}));
    QCOMPARE(m_tree->count(), 5);
    QCOMPARE(m_tree->text(4), QString());
    m_opener->CreateTree(package("untitled2.qen", "??", {"p1.tif"}));
    QCOMPARE(m_tree->count(), 5);
    // Archives without a comment are titled by their file names, so two of them both open.
    m_opener->CreateTree(package("plain1.zip", "", {"p1.tif"}));
    m_opener->CreateTree(package("plain2.zip", "", {"p1.tif"}));
    QCOMPARE(m_tree->count(), 9);
    QCOMPARE(m_tree->text(8), QString("plain2"));
}

void TestOpener::firstKeyRule_data() {
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<int>("selected");
    QTest::newRow("tif after others shows the first node")
        << QStringList{"a.tif"} << QStringList{"b.tif"} << 1;
    QTest::newRow("a package shows itself") << QStringList{"a.tif"} << QStringList{"P.qen"} << 2;
    QTest::newRow("open file first fixes the first node")
        << QStringList{"b.tif", "a.tif"} << QStringList{"a.tif", "P.qen"} << 1;
    QTest::newRow("unknown first on an empty tree")
        << QStringList{} << QStringList{"x.doc", "b.tif"} << 1;
    QTest::newRow("package after a single in one list")
        << QStringList{} << QStringList{"b.tif", "P.qen"} << 1;
}

void TestOpener::firstKeyRule() {
    QFETCH(QStringList, before);
    QFETCH(QStringList, items);
    QFETCH(int, selected);
    auto path = [&](const QString &name) {
        return name.endsWith(".qen") ? package(name, "包", {"p1.tif", "p2.tif"}) : single(name);
    };
    QStringList first, second;
    for (const QString &n : before)
        first << path(n);
    for (const QString &n : items)
        second << path(n);
    if (!first.isEmpty())
        m_opener->CreateTree(join(first));
    QCOMPARE(m_opener->CreateTree(join(second)), selected);
    QCOMPARE(m_tree->selected(), selected);
}

void TestOpener::packageWithoutPagesIsSkipped() {
    const auto hidden = fixture::withAttributes(fixture::file("Thumbs.db"), ZIP_OPSYS_DOS, 0x02);
    const QString path = m_dir.filePath("hidden-only.qen");
    fixture::writeZip(path, {hidden, fixture::file(".dotfile"), fixture::file("sub/p1.tif")},
                      "无页");
    QCOMPARE(m_opener->CreateTree(path), 0);
    QVERIFY(m_tree->isEmpty());
}

void TestOpener::badPackageStopsTheListAndAddsNothing() {
    const QString before = single("before.tif");
    m_opener->CreateTree(before);
    const QString bad = m_dir.filePath("zip-slip-open.qen");
    fixture::writeZip(bad, {fixture::file("p1.tif"), fixture::file("../../escaped.tif")}, "坏包");
    const QString after = single("after.tif");
    QStringList busy;
    int updates = 0, yields = 0;
    m_opener->setHooks(
        {[&] { ++yields; }, [&](bool b) { busy << (b ? "on" : "off"); }, [&] { ++updates; }});
    try {
        m_opener->CreateTree(join({bad, after}));
        QFAIL("a package that reaches outside its folder was opened");
    } catch (const Error &e) {
        QVERIFY(e.description().contains(bad));
    }
    QCOMPARE(m_tree->count(), 1);
    QCOMPARE(busy, (QStringList{"on", "off"}));
    QCOMPARE(updates, 1);
    QVERIFY(yields >= 1);
    QVERIFY(!QFile::exists(m_dir.filePath("escaped.tif")));
    QVERIFY(!QFile::exists(m_folders->root() + "/escaped.tif"));
    // A file that vanished after it was chosen is named in the error as well.
    QVERIFY_THROWS_EXCEPTION(Error, m_opener->CreateTree(m_dir.filePath("gone.qen")));
}

// Clicking the package shows its first page; a WWP page is decoded on its first display only
// and its key then names the TIFF beside it.
void TestOpener::wwpPageDecodedOnce() {
    m_opener->CreateTree(package("w.qen", "扫描", {"p2.WWP", "p1.wwp"}, fixture::wwpPage()));
    const QString wwpKey = m_tree->key(2);
    const DisplayPlan first = m_display->show(1);
    QCOMPARE(first.node, 2);
    QCOMPARE(m_tree->selected(), 2);
    QCOMPARE(first.statusText, QString("扫描:第1页"));
    QCOMPARE(first.view, DisplayPlan::View::Image);
    QVERIFY(first.decoded && first.decodeOk);
    QCOMPARE(m_tree->key(2), wwpKey.left(wwpKey.size() - 3) + "tif");
    QCOMPARE(first.path, m_tree->key(2));
    QVERIFY(IsReadableTiff(first.path));
    const QDateTime written = QFileInfo(first.path).lastModified();
    const DisplayPlan again = m_display->show(2);
    QVERIFY(!again.decoded);
    QCOMPARE(again.path, first.path);
    QCOMPARE(QFileInfo(first.path).lastModified(), written);
}

void TestOpener::singleWwpGetsItsOwnFolder() {
    const QString wwp = single("scan.wwp", fixture::wwpPage());
    m_opener->CreateTree(wwp);
    const DisplayPlan plan = m_display->show(1);
    QCOMPARE(plan.path, m_folders->temp() + "/4194304scan.wwp/scan.tif");
    QVERIFY(IsReadableTiff(plan.path));
    QCOMPARE(plan.statusText, QString("scan"));
    // Its key now names the TIFF, so opening the WWP again adds a second node.
    m_opener->CreateTree(wwp);
    QCOMPARE(m_tree->count(), 2);
    QCOMPARE(m_display->show(2).path, m_folders->temp() + "/4194304scan.wwp0/scan.tif");
}

void TestOpener::decodedPageNeverReplacesAnotherPage() {
    const QByteArray own = fixture::g4Tiff(64, 64);
    std::vector<fixture::Entry> entries{fixture::file("p1.tif", own),
                                        fixture::file("p1.wwp", fixture::wwpPage())};
    const QString path = m_dir.filePath("both.qen");
    fixture::writeZip(path, entries, "两种");
    m_opener->CreateTree(path);
    const QString tifKey = m_tree->key(2);
    const DisplayPlan plan = m_display->show(3);
    QVERIFY(plan.decodeOk);
    QVERIFY(plan.path != tifKey);
    QCOMPARE(fixture::readAll(tifKey), own);
    QCOMPARE(m_tree->find(plan.path), 3);
}

void TestOpener::recordsAndUnknownTypes() {
    const QString txt = single("rec.txt", "【篇名】测试");
    m_opener->CreateTree(txt);
    DisplayPlan plan = m_display->show(1);
    QCOMPARE(plan.view, DisplayPlan::View::Record);
    QCOMPARE(plan.path, txt);
    m_opener->CreateTree(package("odd.qen", "杂", {"notes.doc", "readme"}));
    plan = m_display->show(3);
    QCOMPARE(plan.view, DisplayPlan::View::Unchanged);
    QCOMPARE(plan.statusText, QString("杂:第1页"));
    // A page without an extension looks like a package but has no pages of its own.
    QCOMPARE(m_display->show(4).view, DisplayPlan::View::Unchanged);
}

QTEST_GUILESS_MAIN(TestOpener)
#include "tst_opener.moc"
