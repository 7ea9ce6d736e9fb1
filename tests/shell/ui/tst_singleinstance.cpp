// Real copies of the program, started as separate processes against one work root.
#include "platform/product.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void secondCopyHandsOverItsFile();
    void secondCopyWithoutArgumentsWritesNothing();
    void tenCopiesAtOnceLeaveOne();
    void junkHandoverIsDeletedAndIgnored();
    void terminationCleansUpLikeExit();
    void startsWithAFileInPlaceOfTheWorkRoot();

private:
    QProcess *start(const QStringList &args);
    void startPrimary();
    bool waitFor(const std::function<bool()> &condition, int ms);
    QString handoverFile() const {
        return m_root->path() + "/" + qen::product::instanceNumber() + ".tmp";
    }

    std::unique_ptr<QTemporaryDir> m_root;
    QList<QProcess *> m_processes;
    QProcess *m_primary = nullptr;
};

QProcess *TestSingleInstance::start(const QStringList &args) {
    auto *p = new QProcess(this);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QENINFO_HOME", m_root->path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_LOGGING_RULES", "qen.shell.debug=true;qt.*=false");
    p->setProcessEnvironment(env);
    p->start(QStringLiteral(QEN_BINARY_DIR "/src/qenbrowser"), args);
    m_processes << p;
    return p;
}

bool TestSingleInstance::waitFor(const std::function<bool()> &condition, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QTest::qWait(20);
    }
    return true;
}

void TestSingleInstance::startPrimary() {
    m_primary = start({});
    QVERIFY(m_primary->waitForStarted());
    // Ready once its work folders exist.
    QVERIFY(waitFor([&] { return QFileInfo(m_root->path() + "/Temp").isDir(); }, 10000));
}

void TestSingleInstance::init() {
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
}

void TestSingleInstance::cleanup() {
    for (QProcess *p : m_processes) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished(5000);
        }
        delete p;
    }
    m_processes.clear();
    m_primary = nullptr;
}

void TestSingleInstance::secondCopyHandsOverItsFile() {
    startPrimary();
    const QString name = m_root->path() + "/两个 文件.qen";
    QProcess *second = start({name});
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(second->exitCode(), 0);
    // Picked up and deleted within about a second; the primary opens the whole line.
    QVERIFY(waitFor([&] { return !QFile::exists(handoverFile()); }, 4000));
    m_primary->terminate();
    QVERIFY(m_primary->waitForFinished(10000));
    const QString log = QString::fromUtf8(m_primary->readAllStandardError());
    QVERIFY2(log.contains("open: \"" + name + "\""), qPrintable(log));
    QVERIFY(log.contains("raise"));
}

void TestSingleInstance::secondCopyWithoutArgumentsWritesNothing() {
    startPrimary();
    QProcess *second = start({});
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(!QFile::exists(handoverFile()));
    m_primary->terminate();
    QVERIFY(m_primary->waitForFinished(10000));
    const QString log = QString::fromUtf8(m_primary->readAllStandardError());
    QVERIFY2(log.contains("raise"), qPrintable(log));
    QVERIFY(!log.contains("open:"));
}

void TestSingleInstance::tenCopiesAtOnceLeaveOne() {
    QList<QProcess *> copies;
    for (int i = 0; i < 10; ++i)
        copies << start({});
    for (QProcess *p : copies)
        QVERIFY(p->waitForStarted());
    // Nine end by themselves after asking the first to come forward.
    QVERIFY(waitFor(
        [&] {
            return std::count_if(copies.begin(), copies.end(), [](QProcess *p) {
                       return p->state() == QProcess::NotRunning;
                   }) == 9;
        },
        20000));
    QTest::qWait(500);
    const auto running = std::count_if(copies.begin(), copies.end(), [](QProcess *p) {
        return p->state() != QProcess::NotRunning;
    });
    QCOMPARE(running, 1);
}

void TestSingleInstance::junkHandoverIsDeletedAndIgnored() {
    startPrimary();
    for (const QByteArray &junk :
         {QByteArray("\x00\x01\xff\xfe binary", 12), QByteArray(100 * 1024, 'a') + "\r\n"}) {
        QFile f(handoverFile());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(junk);
        f.close();
        QVERIFY(waitFor([&] { return !QFile::exists(handoverFile()); }, 4000));
    }
    QCOMPARE(m_primary->state(), QProcess::Running);
    m_primary->terminate();
    QVERIFY(m_primary->waitForFinished(10000));
    QVERIFY(!m_primary->readAllStandardError().contains("open:"));
}

void TestSingleInstance::terminationCleansUpLikeExit() {
    startPrimary();
    const QString temp = m_root->path() + "/Temp";
    const QString mine = temp + "/" + qen::product::instanceNumber() + "report";
    QVERIFY(QDir().mkpath(mine));
    QFile page(mine + "/p1.tif");
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.close();
    ::kill(static_cast<pid_t>(m_primary->processId()), SIGTERM);
    QVERIFY(m_primary->waitForFinished(10000));
    QCOMPARE(m_primary->exitStatus(), QProcess::NormalExit);
    QVERIFY(!QFileInfo::exists(temp));
    QVERIFY(m_primary->readAllStandardError().contains("cleanup"));
}

void TestSingleInstance::startsWithAFileInPlaceOfTheWorkRoot() {
    const QString root = m_root->path();
    QVERIFY(QDir(root).removeRecursively());
    QFile blocker(root);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.write("not a folder");
    blocker.close();
    QProcess *p = start({});
    QVERIFY(p->waitForStarted());
    QVERIFY(!p->waitForFinished(1500)); // still running, silently
    p->terminate();
    QVERIFY(p->waitForFinished(10000));
    QCOMPARE(p->exitStatus(), QProcess::NormalExit);
    QVERIFY(QFileInfo(root).isFile()); // nothing touched
    QFile::remove(root);
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
