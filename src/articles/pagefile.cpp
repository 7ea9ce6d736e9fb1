#include "articles/pagefile.h"

#include "platform/error.h"
#include "platform/errortext.h"

#include <QFile>
#include <QFileInfo>

namespace qen::pagefile {

void fail(const QString &path, const QString &what) {
    throw Error(QStringLiteral("无法打开图像文件 %1：%2").arg(path, what));
}

QByteArray readBytes(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists())
        fail(path, QStringLiteral("文件不存在"));
    if (!info.isFile())
        fail(path, QStringLiteral("不是文件"));
    if (info.size() == 0)
        fail(path, QStringLiteral("文件是空的（0 字节）"));
    if (info.size() > MaxBytes)
        fail(path, QStringLiteral("文件过大（%1 MB），超过了一页可能的大小（%2 MB）")
                       .arg((info.size() + (1 << 20) - 1) >> 20)
                       .arg(MaxBytes >> 20));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(path, file.error() == QFileDevice::OpenError && !info.isReadable()
                       ? QStringLiteral("没有读取这个文件的权限")
                       : QStringLiteral("无法读取文件（详情：%1）")
                             .arg(LibraryErrorText(file.errorString())));
    const QByteArray data = file.readAll();
    if (data.size() != info.size())
        fail(path, QStringLiteral("读取失败，文件可能正在被改写（详情：%1）")
                       .arg(LibraryErrorText(file.errorString())));
    return data;
}

} // namespace qen::pagefile
