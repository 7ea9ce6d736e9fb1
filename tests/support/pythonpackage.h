#pragma once

// Article packages written by Python's zipfile, for tests that run the real program: pages
// stored (not compressed), so unpacking takes as long as copying them.
#include <QProcess>
#include <QStringList>

namespace qen::test {

// `count` copies of the file `page` named p0001.tif, p0002.tif, ... and, with fillerBytes, a
// last page of that many random bytes; the title goes in the archive comment. False when
// python3 is missing or failed.
inline bool pythonPackage(const QString &path, const QString &page, int count,
                          qint64 fillerBytes = 0, const QString &title = QStringLiteral("t")) {
    static const char Script[] = R"(
import os, sys, zipfile
out, page, count, filler, title = sys.argv[1:6]
data = open(page, 'rb').read()
with zipfile.ZipFile(out, 'w', zipfile.ZIP_STORED) as z:
    for i in range(int(count)):
        z.writestr('p%04d.tif' % (i + 1), data)
    if int(filler):
        z.writestr('z-filler.tif', os.urandom(int(filler)))
    z.comment = title.encode('utf-8')
)";
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QString::fromLatin1(Script), path, page,
                  QString::number(count), QString::number(fillerBytes), title});
    return python.waitForFinished(60000) && python.exitStatus() == QProcess::NormalExit &&
           python.exitCode() == 0;
}

} // namespace qen::test
