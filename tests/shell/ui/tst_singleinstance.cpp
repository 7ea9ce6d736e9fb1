// Real copies of the program, started as separate processes against one work root.
#include "platform/product.h"
#include "programprocess.h"
#include "pythonpackage.h"
#include "shell/ui/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <xcb/xcb.h>

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void secondCopyHandsOverItsFile();
    void secondCopyWithoutArgumentsWritesNothing();
    void secondCopyPassesItsActivationToken_data();
    void secondCopyPassesItsActivationToken();
    void killedCopysLeftoversGoAtTheNextStart();
    void tenCopiesAtOnceLeaveOne();
    void copiesStartedAtOnceOpenEveryFile_data();
    void copiesStartedAtOnceOpenEveryFile();
    void relativeNameIsMadeWholeByTheSecondCopy();
    void lockAndSocketStayInAPrivateFolder();
    void junkHandoverIsDeletedAndIgnored();
    void terminationCleansUpLikeExit_data();
    void terminationCleansUpLikeExit();
    void lostDisplayCleansUp();
    void x11StartupIdReachesTheWindow();
    void startsWithAFileInPlaceOfTheWorkRoot();

private:
    QProcess *start(const QStringList &args, const QString &root = QString(),
                    const QString &workingDir = QString(),
                    const QHash<QString, QString> &extraEnv = {});
    QString logOf(QProcess *p);
    void startPrimary();
    QProcess *startOnXvfb(QProcess &server, const QString &display, QString *why);
    bool waitFor(const std::function<bool()> &condition, int ms);
    QString handoverFile() const {
        return m_root->path() + "/" + qen::product::instanceNumber() + ".tmp";
    }

    std::unique_ptr<QTemporaryDir> m_root;
    QList<QProcess *> m_processes;
    qen::test::ProcessLogs m_logs;
    QProcess *m_primary = nullptr;
};

QProcess *TestSingleInstance::start(const QStringList &args, const QString &root,
                                    const QString &workingDir,
                                    const QHash<QString, QString> &extraEnv) {
    auto *p = new QProcess(this);
    if (!workingDir.isEmpty())
        p->setWorkingDirectory(workingDir);
    p->setProcessEnvironment(qen::test::programEnvironment(root.isEmpty() ? m_root->path() : root,
                                                           "offscreen", extraEnv));
    p->start(qen::test::programPath(), args);
    m_processes << p;
    return p;
}

QString TestSingleInstance::logOf(QProcess *p) {
    return m_logs.of(p);
}

bool TestSingleInstance::waitFor(const std::function<bool()> &condition, int ms) {
    return qen::test::waitFor(condition, ms);
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
    m_logs.clear();
    m_primary = nullptr;
}

void TestSingleInstance::secondCopyHandsOverItsFile() {
    startPrimary();
    const QString name = m_root->path() + "/两个 文件.qen";
    QProcess *second = start({name});
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(second->exitCode(), 0);
    // Handed over the socket, so no hand-over file is left; the primary opens the whole line.
    QVERIFY(waitFor([&] { return logOf(m_primary).contains("open: \"" + name + "\""); }, 10000));
    QVERIFY(!QFile::exists(handoverFile()));
    QVERIFY(logOf(m_primary).contains("raise"));
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

void TestSingleInstance::secondCopyPassesItsActivationToken_data() {
    QTest::addColumn<QString>("wayland");
    QTest::addColumn<QString>("x11");
    QTest::addColumn<QString>("received");
    QTest::newRow("Wayland token") << "qen-token-42"
                                   << ""
                                   << "raise with token qen-token-42";
    QTest::newRow("X11 startup ID") << ""
                                    << "launcher-7-host_TIME123456"
                                    << "raise with token launcher-7-host_TIME123456";
    QTest::newRow("Wayland wins over X11") << "w-token"
                                           << "x-id"
                                           << "raise with token w-token";
    QTest::newRow("none") << ""
                          << ""
                          << "raise without token";
    // Tokens go into the environment and into window properties: no blank, no control byte.
    QTest::newRow("a blank is refused") << "two words"
                                        << ""
                                        << "raise without token";
}

void TestSingleInstance::secondCopyPassesItsActivationToken() {
    QFETCH(QString, wayland);
    QFETCH(QString, x11);
    QFETCH(QString, received);
    startPrimary();
    QHash<QString, QString> env;
    if (!wayland.isEmpty())
        env.insert("XDG_ACTIVATION_TOKEN", wayland);
    if (!x11.isEmpty())
        env.insert("DESKTOP_STARTUP_ID", x11);
    const QString name = m_root->path() + "/a.qen";
    QProcess *second = start({name}, QString(), QString(), env);
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(second->exitCode(), 0);
    // The file comes with it, as without a token.
    QVERIFY(waitFor([&] { return logOf(m_primary).contains("raise"); }, 10000));
    QVERIFY(waitFor([&] { return logOf(m_primary).contains(received); }, 2000));
    QVERIFY(logOf(m_primary).contains("open: \"" + name + "\""));
}

void TestSingleInstance::killedCopysLeftoversGoAtTheNextStart() {
    const QString temp = m_root->path() + "/Temp";
    const QString package = m_root->path() + "/long.qen";
    QVERIFY(qen::test::pythonPackage(package, QEN_TEST_DATA "/tiff-g4.tif", 200, 64 << 20));
    QProcess *first = start({package});
    QVERIFY(first->waitForStarted());
    // Killed the moment its extraction folder appears: in the middle of unpacking.
    const QString mine = temp + "/" + qen::product::instanceNumber() + "long";
    QVERIFY(waitFor([&] { return QFileInfo(mine).isDir(); }, 20000));
    ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
    QVERIFY(first->waitForFinished(5000));
    QVERIFY(QFileInfo(mine).isDir());
    // What is not ours: another program's folder, and a link of our name to a folder outside.
    const QString foreign = temp + "/other-program/keep.txt";
    QVERIFY(QDir().mkpath(QFileInfo(foreign).path()));
    QFile(foreign).open(QIODevice::WriteOnly);
    QTemporaryDir outside;
    const QString outsideFile = outside.filePath("keep.tif");
    QFile(outsideFile).open(QIODevice::WriteOnly);
    const QString link = temp + "/" + qen::product::instanceNumber() + "link";
    QVERIFY(QFile::link(outside.path(), link));

    QProcess *next = start({});
    QVERIFY(next->waitForStarted());
    QVERIFY(waitFor([&] { return !QFileInfo::exists(mine); }, 10000));
    QVERIFY(!QFileInfo(link).isSymLink());
    QVERIFY(QFileInfo::exists(foreign));
    QVERIFY(QFileInfo::exists(outsideFile));
    // The new copy is the running one: a third start hands over to it.
    QProcess *third = start({});
    QVERIFY(third->waitForFinished(20000));
    QVERIFY(waitFor([&] { return logOf(next).contains("raise"); }, 10000));
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

void TestSingleInstance::copiesStartedAtOnceOpenEveryFile_data() {
    QTest::addColumn<int>("copies");
    QTest::newRow("three") << 3;
    QTest::newRow("ten") << 10;
}
void TestSingleInstance::copiesStartedAtOnceOpenEveryFile() {
    QFETCH(int, copies);
    // A fresh work root: nothing exists until the copies make it.
    const QString root = m_root->path() + "/fresh/QenInfo";
    QStringList files;
    QList<QProcess *> started;
    for (int i = 0; i < copies; ++i) {
        files << m_root->path() + QStringLiteral("/page%1.tif").arg(i);
        QVERIFY(QFile::copy(QStringLiteral(QEN_TEST_DATA "/tiff-g4.tif"), files.last()));
    }
    for (const QString &file : files)
        started << start({file}, root);
    QVERIFY(waitFor(
        [&] {
            return std::count_if(started.begin(), started.end(), [](QProcess *p) {
                       return p->state() == QProcess::NotRunning;
                   }) == copies - 1;
        },
        60000));
    QProcess *primary = nullptr;
    for (QProcess *p : started) {
        if (p->state() != QProcess::NotRunning)
            primary = p;
        else
            QCOMPARE(p->exitCode(), 0);
    }
    QVERIFY(primary);
    for (const QString &file : files)
        QVERIFY2(waitFor([&] { return logOf(primary).contains("open: \"" + file + "\""); }, 20000),
                 qPrintable(file + " was not opened:\n" + logOf(primary)));
    QVERIFY(!QFile::exists(root + "/" + qen::product::instanceNumber() + ".tmp"));
}

void TestSingleInstance::relativeNameIsMadeWholeByTheSecondCopy() {
    startPrimary();
    const QString elsewhere = m_root->path() + "/elsewhere";
    QVERIFY(QDir().mkpath(elsewhere));
    QVERIFY(QFile::copy(QStringLiteral(QEN_TEST_DATA "/tiff-g4.tif"), elsewhere + "/page.tif"));
    QProcess *second = start({"page.tif"}, QString(), elsewhere);
    QVERIFY(second->waitForFinished(20000));
    QVERIFY(waitFor(
        [&] { return logOf(m_primary).contains("open: \"" + elsewhere + "/page.tif\""); }, 10000));
}

void TestSingleInstance::lockAndSocketStayInAPrivateFolder() {
    const QString root = m_root->path();
    QVERIFY(QFile::setPermissions(root, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner));
    QCOMPARE(qen::SingleInstance::privateFolder(root), root);
    // A root others may write to could hold a squatter's socket: never used.
    QVERIFY(QFile::setPermissions(root, QFileDevice::Permissions(0x7777)));
    const QString other = qen::SingleInstance::privateFolder(root);
    QVERIFY(other != root);
    QVERIFY(!other.isEmpty());
    QFileInfo info(other);
    QCOMPARE(info.ownerId(), ::getuid());
    QCOMPARE(info.permissions() & (QFileDevice::WriteOther | QFileDevice::ReadOther |
                                   QFileDevice::WriteGroup | QFileDevice::ExeOther),
             QFileDevice::Permissions());
}

void TestSingleInstance::terminationCleansUpLikeExit_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}
void TestSingleInstance::terminationCleansUpLikeExit() {
    QFETCH(int, signal);
    startPrimary();
    const QString temp = m_root->path() + "/Temp";
    const QString mine = temp + "/" + qen::product::instanceNumber() + "report";
    for (const QString &file : {mine + "/p1.tif", mine + "/.hidden", mine + "/sub/p2.tif"}) {
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QFile page(file);
        QVERIFY(page.open(QIODevice::WriteOnly));
    }
    ::kill(static_cast<pid_t>(m_primary->processId()), signal);
    QVERIFY(m_primary->waitForFinished(10000));
    QCOMPARE(m_primary->exitStatus(), QProcess::NormalExit);
    QVERIFY(!QFileInfo::exists(temp));
    QVERIFY(logOf(m_primary).contains("cleanup"));
}

QProcess *TestSingleInstance::startOnXvfb(QProcess &server, const QString &display, QString *why) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        *why = "Xvfb is not installed";
        return nullptr;
    }
    server.start(xvfb, {display, QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!server.waitForStarted()) {
        *why = "Xvfb does not start";
        return nullptr;
    }
    auto *app = new QProcess(this);
    m_processes << app;
    QProcessEnvironment env = qen::test::programEnvironment(m_root->path(), "xcb");
    env.insert("DISPLAY", display);
    app->setProcessEnvironment(env);
    const QString temp = m_root->path() + "/Temp";
    // Xvfb takes a moment to accept connections; a copy that starts too early is retried.
    for (int attempt = 0; attempt < 20 && !QFileInfo(temp).isDir(); ++attempt) {
        QTest::qWait(250);
        if (app->state() == QProcess::NotRunning)
            app->start(qen::test::programPath(), QStringList());
        waitFor([&] { return QFileInfo(temp).isDir() || app->state() == QProcess::NotRunning; },
                5000);
    }
    if (!QFileInfo(temp).isDir()) {
        server.kill();
        server.waitForFinished();
        *why = "the program cannot reach the X server here";
        return nullptr;
    }
    return app;
}

void TestSingleInstance::lostDisplayCleansUp() {
    QProcess server;
    QString why;
    QProcess *app = startOnXvfb(server, QStringLiteral(":%1").arg(200 + ::getpid() % 500), &why);
    if (!app)
        QSKIP(qPrintable(why));
    const QString temp = m_root->path() + "/Temp";
    const QString mine = temp + "/" + qen::product::instanceNumber() + "pkg/sub";
    QVERIFY(QDir().mkpath(mine));
    server.terminate();
    QVERIFY(server.waitForFinished(10000));
    QVERIFY(app->waitForFinished(10000));
    QVERIFY(!QFileInfo::exists(temp));
}

// The launcher's startup ID ends up on the running copy's window, as if that window had been
// the one launched, and its activation request carries the launch's time.
void TestSingleInstance::x11StartupIdReachesTheWindow() {
    QProcess server;
    QString why;
    const QString display = QStringLiteral(":%1").arg(700 + ::getpid() % 200);
    QProcess *app = startOnXvfb(server, display, &why);
    if (!app)
        QSKIP(qPrintable(why));
    auto stopServer = qScopeGuard([&] {
        app->kill();
        app->waitForFinished(5000);
        server.kill();
        server.waitForFinished(5000);
    });
    const QByteArray id = "qen-test-launch_TIME4242";
    QProcess *second = start({}, QString(), QString(),
                             {{"QT_QPA_PLATFORM", "xcb"},
                              {"DISPLAY", display},
                              {"DESKTOP_STARTUP_ID", QString::fromLatin1(id)}});
    QVERIFY(second->waitForFinished(20000));
    QVERIFY(waitFor([&] { return logOf(app).contains("activation token used"); }, 10000));

    xcb_connection_t *c = xcb_connect(display.toLatin1().constData(), nullptr);
    auto disconnect = qScopeGuard([c] { xcb_disconnect(c); });
    QVERIFY(!xcb_connection_has_error(c));
    const auto intern = [c](const char *name) {
        xcb_intern_atom_reply_t *r =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
        const xcb_atom_t atom = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(r);
        return atom;
    };
    const xcb_atom_t startupId = intern("_NET_STARTUP_ID");
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    QVERIFY(tree);
    QList<QByteArray> found;
    const xcb_window_t *children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
        xcb_get_property_reply_t *p = xcb_get_property_reply(
            c, xcb_get_property(c, 0, children[i], startupId, XCB_ATOM_ANY, 0, 256), nullptr);
        if (p && xcb_get_property_value_length(p) > 0)
            found << QByteArray(static_cast<const char *>(xcb_get_property_value(p)),
                                xcb_get_property_value_length(p));
        std::free(p);
    }
    std::free(tree);
    QCOMPARE(found, QList<QByteArray>{id});
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
