// The program on a real Wayland compositor: a headless weston of the test's own, in a runtime
// folder of its own, so nothing of the session running the tests is touched.
#include "platform/product.h"
#include "programprocess.h"
#include "pythonpackage.h"

#include <QDir>
#include <QLibraryInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

class TestWayland : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void handOverAndLostCompositor();
    void cleanup();

private:
    bool startCompositor(const QString &socket);
    QProcess *startProgram(const QStringList &args, const QHash<QString, QString> &extra = {});
    QString logOf(QProcess *p);
    QStringList leftovers() const;
    static bool waitFor(const std::function<bool()> &condition, int ms);

    QString m_weston;
    QTemporaryDir m_runtime;
    QTemporaryDir m_root;
    QString m_socket;
    QProcess *m_compositor = nullptr;
    QList<QProcess *> m_processes;
    qen::test::ProcessLogs m_logs;
};

bool TestWayland::waitFor(const std::function<bool()> &condition, int ms) {
    return qen::test::waitFor(condition, ms);
}

void TestWayland::initTestCase() {
    m_weston = QStandardPaths::findExecutable(QStringLiteral("weston"));
    if (m_weston.isEmpty())
        QSKIP("weston is not installed (scripts/setup.sh installs it)");
    const QString plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms";
    if (QDir(plugins).entryList({"libqwayland-*.so"}).isEmpty())
        QSKIP("Qt's Wayland plugin (qt6-wayland) is not installed (scripts/setup.sh installs it)");
    QVERIFY(m_runtime.isValid() && m_root.isValid());
    QFile::setPermissions(m_runtime.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

bool TestWayland::startCompositor(const QString &socket) {
    m_socket = socket;
    m_compositor = new QProcess(this);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", m_runtime.path());
    env.remove("WAYLAND_DISPLAY");
    env.remove("DISPLAY");
    m_compositor->setProcessEnvironment(env);
    m_compositor->setStandardOutputFile(QProcess::nullDevice());
    m_compositor->setStandardErrorFile(QProcess::nullDevice());
    m_compositor->start(m_weston, {"--backend=headless-backend.so", "--socket=" + socket,
                                   "--idle-time=0", "--no-config"});
    if (!m_compositor->waitForStarted())
        return false;
    return waitFor([&] { return QFileInfo::exists(m_runtime.filePath(socket)); }, 10000);
}

QProcess *TestWayland::startProgram(const QStringList &args, const QHash<QString, QString> &extra) {
    auto *p = new QProcess(this);
    QProcessEnvironment env = qen::test::programEnvironment(m_root.path(), "wayland", extra);
    env.insert("XDG_RUNTIME_DIR", m_runtime.path());
    env.insert("WAYLAND_DISPLAY", m_socket);
    env.remove("DISPLAY");
    p->setProcessEnvironment(env);
    p->start(qen::test::programPath(), args);
    m_processes << p;
    return p;
}

QString TestWayland::logOf(QProcess *p) {
    return m_logs.of(p);
}

QStringList TestWayland::leftovers() const {
    return QDir(m_root.filePath("Temp"))
        .entryList({qen::product::instanceNumber() + "*"},
                   QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
}

void TestWayland::handOverAndLostCompositor() {
    QVERIFY(startCompositor("qen-wayland-1"));
    const QString package = m_root.filePath("wl.qen");
    QVERIFY(qen::test::pythonPackage(package, QEN_TEST_DATA "/tiff-g4.tif", 3));

    QProcess *primary = startProgram({});
    QVERIFY(primary->waitForStarted());
    QVERIFY2(waitFor([&] { return QFileInfo(m_root.filePath("Temp")).isDir(); }, 20000),
             qPrintable(logOf(primary)));
    QVERIFY2(primary->state() == QProcess::Running, qPrintable(logOf(primary)));

    QProcess *second = startProgram({package}, {{"XDG_ACTIVATION_TOKEN", "wl-token-1"}});
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(second->exitCode(), 0);
    QVERIFY2(waitFor([&] { return logOf(primary).contains("raise with token wl-token-1"); }, 10000),
             qPrintable(logOf(primary)));
    // Opened: its pages are unpacked into the work folder.
    QVERIFY(waitFor([&] { return leftovers().contains(qen::product::instanceNumber() + "wl"); },
                    10000));

    // The compositor dies: Qt ends the program at once, which tidies up on the way out.
    ::kill(static_cast<pid_t>(m_compositor->processId()), SIGKILL);
    QVERIFY(m_compositor->waitForFinished(10000));
    QVERIFY(primary->waitForFinished(10000));
    QVERIFY(logOf(primary).contains("Wayland"));
    QVERIFY2(leftovers().isEmpty(), qPrintable(leftovers().join(' ')));

    // Left behind anyway (as by a compositor that took the program down harder): the next
    // start on a new compositor tidies up.
    QVERIFY(QDir().mkpath(m_root.filePath("Temp/" + qen::product::instanceNumber() + "wl/x")));
    delete m_compositor;
    QVERIFY(startCompositor("qen-wayland-2"));
    QProcess *again = startProgram({});
    QVERIFY(again->waitForStarted());
    QVERIFY2(waitFor([&] { return leftovers().isEmpty(); }, 20000),
             qPrintable(leftovers().join(' ')));
    QVERIFY(waitFor([&] { return QFileInfo(m_root.filePath("Temp")).isDir(); }, 20000));
    QVERIFY(again->state() == QProcess::Running);
}

void TestWayland::cleanup() {
    for (QProcess *p : m_processes) {
        if (p->state() != QProcess::NotRunning) {
            p->terminate();
            if (!p->waitForFinished(5000)) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
        delete p;
    }
    m_processes.clear();
    if (m_compositor && m_compositor->state() != QProcess::NotRunning) {
        m_compositor->terminate();
        m_compositor->waitForFinished(5000);
    }
    delete m_compositor;
    m_compositor = nullptr;
}

QTEST_GUILESS_MAIN(TestWayland)
#include "tst_wayland.moc"
