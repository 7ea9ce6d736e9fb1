// Package extraction: whatever the archive holds, nothing is written outside the target
// folder, no link is made, and a refused package leaves the folder empty.
#include "articles/package.h"
#include "fuzzsupport.h"
#include "platform/error.h"

#include <QDirIterator>

#include <sys/stat.h>

using namespace qen;

namespace {

QStringList entriesOf(const QString &folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Two levels of sandbox, so an entry that climbs out lands where the check sees it.
    const QString sandbox = fuzz::scratch() + QStringLiteral("/zip");
    const QString inner = sandbox + QStringLiteral("/inner");
    const QString target = inner + QStringLiteral("/4194304pkg");
    QDir(sandbox).removeRecursively();
    QEN_FUZZ_CHECK(QDir().mkpath(target), "cannot make the target folder");
    const QString package = inner + QStringLiteral("/in.qen");
    fuzz::writeFile(package, data, size);

    ExtractOptions options;
    options.maxTotalBytes = 16 << 20;
    options.maxEntries = 2000;
    bool refused = false;
    try {
        const QString title = ExtractPackage(package, target, options).title;
        QEN_FUZZ_CHECK(title.size() <= 50 && !title.contains(QLatin1Char('/')),
                       "a package title is no safe name");
    } catch (const Error &) {
        refused = true;
    }

    QEN_FUZZ_CHECK(entriesOf(fuzz::scratch()) == QStringList{QStringLiteral("zip")},
                   "something was written beside the sandbox");
    QEN_FUZZ_CHECK(entriesOf(sandbox) == QStringList{QStringLiteral("inner")},
                   "something was written outside the target folder");
    QStringList innerEntries = entriesOf(inner);
    innerEntries.sort();
    QEN_FUZZ_CHECK(
        (innerEntries == QStringList{QStringLiteral("4194304pkg"), QStringLiteral("in.qen")}),
        "something was written beside the target folder");
    QDirIterator it(target, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QByteArray name = QFile::encodeName(it.next());
        struct stat st;
        QEN_FUZZ_CHECK(::lstat(name.constData(), &st) == 0, "an unpacked entry vanished");
        QEN_FUZZ_CHECK(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode),
                       "extraction made a link or a special file");
    }
    if (refused)
        QEN_FUZZ_CHECK(entriesOf(target).isEmpty(), "a refused package left files behind");
    QDir(sandbox).removeRecursively();
    return 0;
}
