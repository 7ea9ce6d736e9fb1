// The background queue over the real engine: its order, the background switch, closing an
// article while its pages are read, bad pages and the progress text.
#include "articles/imagedocument.h"
#include "ocr/textqueue.h"
#include "ocrpage.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;
using namespace qen::ocr;

class TstTextQueue : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void order();
    void backgroundOff();
    void closingCancels();
    void badPageIsMarked();
    void settings();
    void longArticlesPackLayers();

private:
    QString page(int line);
    QTemporaryDir m_dir;
    std::unique_ptr<PageEngineLibrary> m_library;
};

void TstTextQueue::initTestCase() {
    if (const QString missing = test::pageRecognitionMissing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_library = std::make_unique<PageEngineLibrary>(QStringList{test::builtOcrLibrary()});
}

// A small page holding one line of the test text.
QString TstTextQueue::page(int line) {
    const QString file = m_dir.filePath(QStringLiteral("line%1.tif").arg(line));
    if (!QFile::exists(file))
        ImageDocument::writeFile(test::renderOcrPage(test::ocrColumnLines(line + 1, 8).mid(line)),
                                 file, ImageFileType::Tiff);
    return file;
}

void TstTextQueue::order() {
    TextQueue queue(*m_library, u"chi_sim"_qs, nullptr, 1);
    QStringList read;
    connect(&queue, &TextQueue::pageRead, this, [&](const QString &p) { read << p; });
    queue.setShownPage(page(1));
    queue.addArticle(u"A"_qs, {page(0), page(1), page(2)});
    queue.addArticle(u"B"_qs, {page(3), page(4)});
    QCOMPARE(queue.progressText(), u"文字识别 0/5"_qs);
    QTRY_COMPARE_WITH_TIMEOUT(read.size(), 5, 60000);
    QCOMPARE(read, (QStringList{page(1), page(0), page(2), page(3), page(4)}));
    QCOMPARE(queue.progressText(), u"文字识别 5/5"_qs);
    const TextLayer *layer = queue.layer(page(3));
    QVERIFY(layer);
    QVERIFY(test::characterErrorRate(test::ocrColumnLines(4, 8)[3], layer->plainText()) <= 0.15);
}

// Beyond the bound the least recently used layers are packed, never the shown page's, and
// each comes back whole when asked for.
void TstTextQueue::longArticlesPackLayers() {
    TextQueue queue(*m_library, u"chi_sim"_qs, nullptr, 1);
    queue.setLayersHeld(2);
    QHash<QString, QString> texts;
    connect(&queue, &TextQueue::pageRead, this,
            [&](const QString &p) { texts.insert(p, queue.layer(p)->plainText()); });
    const QStringList pages{page(0), page(1), page(2), page(3), page(4)};
    queue.setShownPage(page(0));
    queue.addArticle(u"A"_qs, pages);
    QTRY_COMPARE_WITH_TIMEOUT(texts.size(), 5, 60000);
    QCOMPARE(queue.layersUnpacked(), 2);
    const TextLayer *shown = queue.layer(page(0));
    for (int round = 0; round < 2; ++round) {
        for (const QString &p : pages) {
            QVERIFY(queue.layer(p));
            QCOMPARE(queue.layer(p)->plainText(), texts.value(p));
            QVERIFY(queue.layersUnpacked() <= 2);
        }
    }
    QCOMPARE(queue.layer(page(0)), shown);
    queue.removeArticle(u"A"_qs);
    QCOMPARE(queue.layersUnpacked(), 0);
    QVERIFY(!queue.layer(page(3)));
}

void TstTextQueue::backgroundOff() {
    TextQueue queue(*m_library, u"chi_sim"_qs, nullptr, 1);
    queue.setBackground(false);
    QSignalSpy read(&queue, &TextQueue::pageRead);
    queue.addArticle(u"A"_qs, {page(0), page(1), page(2)});
    QTest::qWait(300);
    QCOMPARE(read.size(), 0);
    queue.setShownPage(page(2));
    QTRY_COMPARE_WITH_TIMEOUT(read.size(), 1, 30000);
    QCOMPARE(read[0][0].toString(), page(2));
    QTest::qWait(300);
    QCOMPARE(read.size(), 1);
    QCOMPARE(queue.progressText(), u"文字识别 1/3"_qs);
}

void TstTextQueue::closingCancels() {
    QSignalSpy *read = nullptr;
    {
        TextQueue queue(*m_library, u"chi_sim"_qs, nullptr, 2);
        read = new QSignalSpy(&queue, &TextQueue::pageRead);
        queue.addArticle(u"A"_qs, {page(0), page(1), page(2), page(3)});
        queue.addArticle(u"B"_qs, {page(4)});
        queue.setShownPage(page(4));
        QTRY_VERIFY_WITH_TIMEOUT(!read->isEmpty(), 30000);
        queue.removeArticle(u"A"_qs);
        QCOMPARE(queue.pageCount(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(queue.layer(page(4)), 30000);
        QTest::qWait(200);
        for (const QList<QVariant> &args : *read)
            QVERIFY(args[0].toString() == page(4) || !queue.layer(args[0].toString()));
        QVERIFY(!queue.layer(page(0)) && !queue.layer(page(1)));
        // Closing everything while pages are being read, then going away at once.
        queue.addArticle(u"C"_qs, {page(0), page(1), page(2), page(3)});
        queue.clear();
        QCOMPARE(queue.progressText(), QString());
        queue.addArticle(u"D"_qs, {page(5), page(6)});
    }
    delete read;
}

void TstTextQueue::badPageIsMarked() {
    TextQueue queue(*m_library, u"chi_sim"_qs, nullptr, 1);
    QSignalSpy failed(&queue, &TextQueue::pageFailed);
    QSignalSpy read(&queue, &TextQueue::pageRead);
    const QString broken = m_dir.filePath(u"broken.tif"_qs);
    QFile f(broken);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("II*\0 not really");
    f.close();
    queue.addArticle(u"A"_qs, {broken, m_dir.filePath(u"missing.tif"_qs), page(0)});
    QTRY_COMPARE_WITH_TIMEOUT(read.size() + failed.size(), 3, 30000);
    QCOMPARE(failed.size(), 2);
    QVERIFY(failed[0][1].toString().contains(u"broken.tif"_qs));
    QCOMPARE(queue.progressText(), u"文字识别 3/3"_qs);
}

void TstTextQueue::settings() {
    const WorkFolders folders(m_dir.path(), m_dir.path());
    QDir().mkpath(folders.setting());
    QVERIFY(TextQueue::backgroundConfigured(folders));
    QFile ini(folders.setting() + u"/Qen.ini"_qs);
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Text]\r\nBackground=0\r\n");
    ini.close();
    QVERIFY(!TextQueue::backgroundConfigured(folders));
    QVERIFY(TextQueue::defaultWorkers() >= 1);
}

QTEST_MAIN(TstTextQueue)
#include "tst_textqueue.moc"
