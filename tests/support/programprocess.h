#pragma once

// Tests that run real copies of the program as separate processes: their environment, their
// life-cycle log, and waiting for what they do.
#include <QElapsedTimer>
#include <QHash>
#include <QProcess>
#include <QtTest>

#include <functional>

namespace qen::test {

inline QString programPath() {
    return QStringLiteral(QEN_BINARY_DIR "/src/qenbrowser");
}

// The program on a work root of the test's own and the given platform, with its life-cycle
// log on. It sees only the activation tokens `extra` gives: the session running the tests
// may have its own.
inline QProcessEnvironment programEnvironment(const QString &root, const QString &platform,
                                              const QHash<QString, QString> &extra = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QENINFO_HOME", root);
    env.insert("QT_QPA_PLATFORM", platform);
    env.insert("QT_LOGGING_RULES", "qen.shell.debug=true;qt.*=false");
    env.remove("XDG_ACTIVATION_TOKEN");
    env.remove("DESKTOP_STARTUP_ID");
    for (auto it = extra.begin(); it != extra.end(); ++it)
        env.insert(it.key(), it.value());
    return env;
}

// Everything each process wrote to stderr so far.
class ProcessLogs {
public:
    QString of(QProcess *p) {
        QString &log = m_logs[p];
        log += QString::fromUtf8(p->readAllStandardError());
        return log;
    }
    void clear() { m_logs.clear(); }

private:
    QHash<QProcess *, QString> m_logs;
};

inline bool waitFor(const std::function<bool()> &condition, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QTest::qWait(20);
    }
    return true;
}

} // namespace qen::test
