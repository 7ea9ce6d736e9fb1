#include "ocr/resultfile.h"

#include "platform/error.h"
#include "platform/errortext.h"
#include "platform/filehelpers.h"
#include "platform/textcodec.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace qen::ocr {

QString resultFileName() {
    return QStringLiteral("ATEMP000.TXT");
}

QString resultFilePath(const QString &folder) {
    return folder + QLatin1Char('/') + resultFileName();
}

QByteArray encodeAnsiText(const QString &text) {
    if (std::optional<QByteArray> gbk = text::encodeGbk(text))
        return *gbk;
    return *text::encode(text, text::Encoding::Utf8Bom);
}

void writeTextFile(const QString &path, const QString &text) {
    const QByteArray bytes = encodeAnsiText(text);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Error(
            QStringLiteral("无法写入文件 %1：%2").arg(path, LibraryErrorText(file.errorString())));
}

QString readTextFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(
            QStringLiteral("无法读取文件 %1：%2").arg(path, LibraryErrorText(file.errorString())));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Error(
            QStringLiteral("无法读取文件 %1：%2").arg(path, LibraryErrorText(file.errorString())));
    return text::decodeExternal(bytes).text;
}

void removeStaleResult(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return;
    QString reason;
    if (info.isDir() && !info.isSymLink()) {
        reason = QStringLiteral("它是一个文件夹");
    } else {
        MakeWritable(path);
        QFile file(path);
        if (file.remove())
            return;
        reason = LibraryErrorText(file.errorString());
    }
    throw Error(QStringLiteral("无法删除上次的识别结果 %1：%2").arg(path, reason));
}

} // namespace qen::ocr
