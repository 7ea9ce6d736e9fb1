// The command line a file manager gives: one name, or one name per selected file.
#include "shell/handover.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void fromArguments_data();
    void fromArguments();
    void listSurvivesTheHandoverFile();

private:
    QTemporaryDir m_dir;
};

void TestCommandLine::initTestCase() {
    for (const char *name : {"a.qen", "b.tif", "My Paper.qen", "My", "Paper.qen"}) {
        QFile f(m_dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir(m_dir.path()).mkdir("folder"));
}

void TestCommandLine::fromArguments_data() {
    // Arguments are names under the test folder, or relative to it when marked "=". A list
    // is expected as the absolute names joined by NUL, anything else as the arguments joined
    // by blanks, as the command line has always been.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("list");
    test::row("none", QStringList{}, false);
    test::row("one file", QStringList{"a.qen"}, false);
    test::row("two files", QStringList{"a.qen", "b.tif"}, true);
    test::row("relative names", QStringList{"=a.qen", "=b.tif"}, true);
    // "My" and "Paper.qen" exist as well, but the blank-joined name is what was meant.
    test::row("a name with a blank, unquoted", QStringList{"My", "=Paper.qen"}, false);
    test::row("one of them missing", QStringList{"a.qen", "missing.tif"}, false);
    test::row("a folder among them", QStringList{"a.qen", "folder"}, false);
}

void TestCommandLine::fromArguments() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, list);
    QStringList args, absolute;
    for (const QString &a : arguments) {
        args << (a.startsWith('=') ? a.mid(1) : m_dir.filePath(a));
        absolute << m_dir.filePath(a.startsWith('=') ? a.mid(1) : a);
    }
    const QString previous = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    const QString line = handover::commandLine(args);
    QDir::setCurrent(previous);
    QCOMPARE(line, list ? absolute.join(QChar(u'\0')) : args.join(' '));
}

void TestCommandLine::listSurvivesTheHandoverFile() {
    // A second copy started on several files hands them all to the running copy.
    const QString file = m_dir.filePath("4194304.tmp");
    const QString line = handover::commandLine({m_dir.filePath("a.qen"), m_dir.filePath("b.tif")});
    QVERIFY(line.contains(QChar(u'\0')));
    QVERIFY(handover::write(file, line));
    QCOMPARE(handover::take(file), line);
    QVERIFY(!QFile::exists(file));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
