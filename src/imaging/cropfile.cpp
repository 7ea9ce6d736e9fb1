#include "imaging/cropfile.h"

#include "platform/error.h"
#include "platform/errortext.h"
#include "platform/filehelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qen::cropfile {

QString path(const QString &appPath) {
    return appPath + QStringLiteral("/Temp.tif");
}

QString failureText(const QString &path, const QString &reason) {
    return QStringLiteral("无法在文件夹 %1 中写入选定区域的图像 %2：%3")
        .arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath()), QFileInfo(path).fileName(),
             reason);
}

void prepare(const QString &path) {
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))
        throw Error(failureText(path, QStringLiteral("无法创建该文件夹")));
    // A symbolic link is removed itself, never what it points to.
    if (!info.exists() && !info.isSymLink())
        return;
    MakeWritable(path);
    QFile stale(path);
    if (!stale.remove())
        throw Error(failureText(
            path,
            QStringLiteral("无法删除上次的文件（%1）").arg(LibraryErrorText(stale.errorString()))));
}

} // namespace qen::cropfile
