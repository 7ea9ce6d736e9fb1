#include "ocr/enginestamp.h"

#include "platform/companion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <link.h>
#include <sys/stat.h>

namespace qen::ocr {

QString libraryFileName() {
    return QStringLiteral("libqenocr.so");
}

QStringList librarySearchPaths(const QString &executableDir) {
    return companionLibraryPaths(executableDir, libraryFileName());
}

} // namespace qen::ocr

namespace qen::ocr::enginestamp {

namespace {
const QByteArray Magic = "qen-engine-stamp 1";
} // namespace

QString path(const QString &cacheFolder) {
    return cacheFolder + QStringLiteral("/engine.stamp");
}

QString identityOf(const QString &file) {
    const QString real = QFileInfo(file).canonicalFilePath();
    struct stat st;
    if (real.isEmpty() || ::stat(QFile::encodeName(real).constData(), &st) != 0)
        return {};
    return QStringLiteral("%1 %2 %3 %4.%5 %6")
        .arg(st.st_dev)
        .arg(st.st_ino)
        .arg(st.st_size)
        .arg(st.st_mtim.tv_sec)
        .arg(st.st_mtim.tv_nsec, 9, 10, QLatin1Char('0'))
        .arg(real);
}

QStringList loadedEngineLibraries() {
    QStringList found;
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *data) {
            const QString name = QFile::decodeName(info->dlpi_name);
            const QString base = QFileInfo(name).fileName();
            for (const char *engine : {"libqenocr", "libtesseract", "liblept"})
                if (base.startsWith(QLatin1String(engine)))
                    static_cast<QStringList *>(data)->append(name);
            return 0;
        },
        &found);
    // Ours first: it is the one a later process looks for.
    std::stable_sort(found.begin(), found.end(), [](const QString &a, const QString &b) {
        return QFileInfo(a).fileName().startsWith(QLatin1String("libqenocr")) &&
               !QFileInfo(b).fileName().startsWith(QLatin1String("libqenocr"));
    });
    return found;
}

void record(const QString &cacheFolder, const QString &version, const QStringList &libraries) {
    if (version.isEmpty() || version.contains(QLatin1Char('\n')) || libraries.isEmpty())
        return;
    QByteArray text = Magic + '\n' + version.toUtf8() + '\n';
    for (const QString &library : libraries) {
        const QString identity = identityOf(library);
        if (identity.isEmpty())
            return;
        text += identity.toUtf8() + '\n';
    }
    QFile old(path(cacheFolder));
    if (old.open(QIODevice::ReadOnly) && old.readAll() == text)
        return;
    if (!QDir().mkpath(cacheFolder))
        return;
    QSaveFile file(path(cacheFolder));
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size())
        file.commit();
}

std::optional<QString> recorded(const QString &cacheFolder, const QString &library) {
    QFile file(path(cacheFolder));
    if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024)
        return std::nullopt;
    const QList<QByteArray> lines = file.readAll().split('\n');
    // Magic, version, at least one library, and the empty piece after the last line end.
    if (lines.size() < 4 || lines.first() != Magic || !lines.last().isEmpty() ||
        lines.at(1).isEmpty())
        return std::nullopt;
    const QString ours = identityOf(library);
    if (ours.isEmpty() || QString::fromUtf8(lines.at(2)) != ours)
        return std::nullopt;
    for (qsizetype i = 3; i + 1 < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines.at(i));
        const qsizetype pathAt = line.indexOf(QLatin1Char('/'));
        if (pathAt < 0 || identityOf(line.mid(pathAt)) != line)
            return std::nullopt;
    }
    return QString::fromUtf8(lines.at(1));
}

} // namespace qen::ocr::enginestamp
