#include "platform/workfolders.h"
#include "platform/errortext.h"

#include "platform/error.h"
#include "platform/filehelpers.h"
#include "platform/product.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qen {

namespace {

QByteArray native(const QString &path) {
    return QFile::encodeName(path);
}

bool isRealDir(const QString &path) {
    struct stat st;
    return ::lstat(native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Entry names of a real directory in the order the file system returns them; false when it
// is missing, unreadable or a link (the folder is opened without following one, so a link
// put in its place between a check and the listing is not followed either).
bool listEntries(const QString &folder, QStringList &names) {
    const int fd =
        ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            names << name;
    }
    ::closedir(dir);
    return true;
}

void removeEntry(const QString &path) {
    MakeWritable(path);
    ::unlink(native(path).constData());
}

// Removes a folder of ours with everything in it, dot files and sub-folders included. A link
// inside is removed as a link; what it points to is never touched. Names are listed before
// descending, so no descriptor stays open per level however deep the tree.
void removeTree(const QString &folder) {
    // A folder unpacked without owner permissions could not be listed or emptied.
    MakeWritable(folder);
    QStringList names;
    if (!listEntries(folder, names))
        return;
    for (const QString &name : std::as_const(names)) {
        const QString path = folder + QLatin1Char('/') + name;
        if (isRealDir(path))
            removeTree(path);
        else
            removeEntry(path);
    }
    ::rmdir(native(folder).constData());
}

void removeEmptyFolder(const QString &path) {
    if (isRealDir(path))
        ::rmdir(native(path).constData());
}

} // namespace

QString WorkFolders::defaultRoot() {
    const QString fromEnv = qEnvironmentVariable("QENINFO_HOME");
    if (!fromEnv.isEmpty())
        return QDir::cleanPath(fromEnv);
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || !QDir::isAbsolutePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(data + QStringLiteral("/QenInfo"));
}

QString WorkFolders::appPathFor(const QString &executableDir, const QString &root) {
    QString dir = executableDir;
    if (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    if (::access(native(dir).constData(), W_OK) == 0)
        return dir;
    return root + QStringLiteral("/Program");
}

WorkFolders::WorkFolders(QString root, QString appPath)
    : m_root(std::move(root)), m_appPath(std::move(appPath)) {}

QString WorkFolders::temp() const {
    return m_root + QStringLiteral("/Temp");
}
QString WorkFolders::setting() const {
    return m_root + QStringLiteral("/Setting");
}
QString WorkFolders::handoverFile() const {
    return m_root + QLatin1Char('/') + product::instanceNumber() + QStringLiteral(".tmp");
}
QString WorkFolders::leftoverMarker() const {
    return m_root + QStringLiteral("/!!wwpused!!.qen");
}
QString WorkFolders::appTemp() const {
    return m_appPath + QStringLiteral("/Temp");
}

void WorkFolders::prepareAtStartup() const {
    const QString marker = leftoverMarker();
    struct stat st;
    if (::lstat(native(marker).constData(), &st) == 0 && !S_ISDIR(st.st_mode))
        removeEntry(marker);
    // Start-up goes on silently when these fail; the first user of a folder reports it.
    if (!FolderExists(m_root))
        QDir().mkpath(m_root) &&
            QFile::setPermissions(m_root, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
    if (!FolderExists(temp()))
        CreateFolder(temp());
}

void WorkFolders::ensure(const QString &folder) const {
    if (FolderExists(folder))
        return;
    for (const QString &step : {m_root, folder}) {
        if (FolderExists(step))
            continue;
        const bool made = step == m_root ? QDir().mkpath(step) : CreateFolder(step);
        if (!made) {
            const QString reason = QFileInfo(step).exists() ? QStringLiteral("同名文件已存在")
                                                            : SystemErrorText(errno);
            throw Error(QStringLiteral("无法创建文件夹 %1：%2").arg(step, reason));
        }
    }
}

void WorkFolders::cleanUp() const {
    const QString prefix = product::instanceNumber();
    const QString tempFolder = temp();
    QStringList entries;
    if (!listEntries(tempFolder, entries))
        return;
    for (const QString &name : entries) {
        const QString path = tempFolder + QLatin1Char('/') + name;
        struct stat st;
        if (::lstat(native(path).constData(), &st) != 0)
            continue;
        if (!S_ISDIR(st.st_mode)) {
            // Plain files and links alike go; a link is removed as a link.
            removeEntry(path);
            continue;
        }
        if (name.startsWith(QLatin1Char('.')) || !name.startsWith(prefix))
            continue;
        removeTree(path);
    }
    removeEmptyFolder(tempFolder);
    removeEmptyFolder(m_root + QStringLiteral("/PdfTemp"));
    removeEmptyFolder(m_root + QStringLiteral("/PdfTemp_"));
    removeEmptyFolder(appTemp());
}

} // namespace qen
