#include "platform/errortext.h"

#include <QRegularExpression>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <zip.h>

namespace qen {

namespace {

struct Cause {
    int err;
    const char16_t *text;
};

// The causes a reader can do something about: free space, fix a permission, close programs,
// retry. Several errno values share one wording where the reader's remedy is the same.
const Cause Causes[] = {
    {ENOENT, u"找不到文件或文件夹"},
    {ENOTDIR, u"路径中的某一级不是文件夹"},
    {EACCES, u"没有权限"},
    {EPERM, u"没有权限"},
    {ENOSPC, u"磁盘已满"},
    {EDQUOT, u"磁盘已满（超出了磁盘配额）"},
    {EROFS, u"文件系统是只读的"},
    {EINVAL, u"参数无效或数据已损坏"},
    {EILSEQ, u"参数无效或数据已损坏"},
    {EMFILE, u"打开的文件太多"},
    {ENFILE, u"打开的文件太多"},
    {EFBIG, u"文件太大"},
    {EINTR, u"操作被中断"},
    {EIO, u"读写设备时出错"},
    {ENOMEM, u"内存不足"},
    {EEXIST, u"同名文件已存在"},
    {EISDIR, u"这是一个文件夹"},
    {ENAMETOOLONG, u"文件名太长"},
    {ELOOP, u"路径中的符号链接太多"},
    {EBUSY, u"文件正被使用"},
    {ETXTBSY, u"文件正被使用"},
    {ENOTEMPTY, u"文件夹不是空的"},
    {EXDEV, u"不能跨越文件系统移动"},
};

const char16_t *knownCause(int err) {
    for (const Cause &c : Causes)
        if (c.err == err)
            return c.text;
    return nullptr;
}

// Words the libraries use for a cause, beyond glibc's own texts (which are matched through
// strerror below). Lower case; the first match wins, so the narrower phrases come first.
struct Phrase {
    const char *words;
    const char16_t *text;
};
const Phrase Phrases[] = {
    {"read-only", u"文件系统是只读的"},
    {"no space", u"磁盘已满"},
    {"disk full", u"磁盘已满"},
    {"quota", u"磁盘已满（超出了磁盘配额）"},
    {"permission", u"没有权限"},
    {"access denied", u"没有权限"},
    {"not permitted", u"没有权限"},
    {"too many open files", u"打开的文件太多"},
    {"too large", u"文件太大"},
    {"interrupted", u"操作被中断"},
    {"no such file", u"找不到文件或文件夹"},
    {"not found", u"找不到文件或文件夹"},
    {"does not exist", u"找不到文件或文件夹"},
    {"out of memory", u"内存不足"},
    {"cannot allocate", u"内存不足"},
    {"unsupported", u"不支持的格式"},
    {"not supported", u"不支持的格式"},
    {"encrypt", u"已加密"},
    {"password", u"已加密"},
    {"invalid", u"参数无效或数据已损坏"},
    {"inconsistent", u"参数无效或数据已损坏"},
    {"not a zip", u"参数无效或数据已损坏"},
    {"corrupt", u"参数无效或数据已损坏"},
    {"not a tiff", u"参数无效或数据已损坏"},
    {"not a png", u"参数无效或数据已损坏"},
    {"bad ", u"参数无效或数据已损坏"},
    {"premature end", u"参数无效或数据已损坏"},
    {"unexpected end", u"参数无效或数据已损坏"},
    {"truncated", u"参数无效或数据已损坏"},
    {"crc", u"参数无效或数据已损坏"},
    {"checksum", u"参数无效或数据已损坏"},
    {"i/o error", u"读写设备时出错"},
    {"read error", u"读取时出错"},
    {"write error", u"写入时出错"},
};

bool hasLatinWord(const QString &text) {
    int run = 0;
    for (const QChar c : text) {
        run = (c.unicode() < 0x80 && c.isLetter()) ? run + 1 : 0;
        if (run >= 2)
            return true;
    }
    return false;
}

} // namespace

QString SystemErrorText(int err) {
    if (const char16_t *text = knownCause(err))
        return QString::fromUtf16(text);
    return QStringLiteral("系统错误 %1").arg(err);
}

QString LibraryErrorText(const QString &message) {
    const QString text = message.trimmed();
    if (text.isEmpty())
        return QStringLiteral("原因不明");
    if (!hasLatinWord(text))
        return text;
    const QString lower = text.toLower();
    // glibc's own wording first: Qt's file errors and many library messages carry it whole.
    for (const Cause &c : Causes) {
        const QString english = QString::fromLatin1(std::strerror(c.err)).toLower();
        if (!english.isEmpty() && lower.contains(english))
            return QString::fromUtf16(c.text);
    }
    for (const Phrase &p : Phrases)
        if (lower.contains(QLatin1String(p.words)))
            return QString::fromUtf16(p.text);
    return QStringLiteral("原因不明");
}

QString LibraryLoadErrorText(const QString &message) {
    // "Cannot load library …: (libtesseract.so.5: cannot open shared object file: No such file
    // or directory)": the name before the colon is the library that could not be opened.
    static const QRegularExpression unopened(
        QStringLiteral("([^\\s:()]+): cannot open shared object file: ([^)]*)"));
    const QRegularExpressionMatch m = unopened.match(message);
    if (m.hasMatch()) {
        if (m.captured(2).contains(QLatin1String("No such file")))
            return QStringLiteral("缺少它所依赖的库 %1").arg(m.captured(1));
        return QStringLiteral("无法打开库 %1（%2）")
            .arg(m.captured(1), LibraryErrorText(m.captured(2)));
    }
    if (message.contains(QLatin1String("undefined symbol")))
        return QStringLiteral("它所依赖的库版本不符");
    if (message.contains(QLatin1String("wrong ELF class")) ||
        message.contains(QLatin1String("invalid ELF header")))
        return QStringLiteral("不是本机可用的库文件");
    return LibraryErrorText(message);
}

QString ZipErrorText(int zipCode, int systemError) {
    if (systemError != 0 && knownCause(systemError))
        return SystemErrorText(systemError);
    switch (zipCode) {
    case ZIP_ER_INVAL:
    case ZIP_ER_NOZIP:
    case ZIP_ER_INCONS:
    case ZIP_ER_EOF:
    case ZIP_ER_CRC:
    case ZIP_ER_ZLIB:
    case ZIP_ER_COMPRESSED_DATA:
        return SystemErrorText(EINVAL);
    case ZIP_ER_NOENT:
        return SystemErrorText(ENOENT);
    case ZIP_ER_EXISTS:
        return SystemErrorText(EEXIST);
    case ZIP_ER_MEMORY:
        return SystemErrorText(ENOMEM);
    case ZIP_ER_RDONLY:
        return SystemErrorText(EROFS);
    case ZIP_ER_READ:
    case ZIP_ER_WRITE:
    case ZIP_ER_SEEK:
    case ZIP_ER_TELL:
        return SystemErrorText(EIO);
    case ZIP_ER_OPEN:
        return QStringLiteral("无法打开文件");
    case ZIP_ER_COMPNOTSUPP:
        return QStringLiteral("不支持的压缩方法");
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
        return QStringLiteral("已加密");
    case ZIP_ER_CANCELLED:
        return SystemErrorText(EINTR);
    default:
        if (systemError != 0)
            return SystemErrorText(systemError);
        return QStringLiteral("ZIP 错误 %1").arg(zipCode);
    }
}

} // namespace qen
