// qentool ocr IMAGE [--area X,Y,W,H] [--lang LANGS]: the text recognition finds, tidied as the
// program shows it, through the same library and result file.
#include "ocr/recognition.h"
#include "tool/commands.h"

#include <QRect>
#include <QTemporaryDir>
#include <cstdio>

namespace qen::tool {

namespace {

const char *const Usage = "usage: qentool ocr IMAGE [--area X,Y,W,H] [--lang LANGS]";

std::optional<QRect> parseArea(const QString &text) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;
    int v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toInt(&ok);
        if (!ok || v[i] < 0)
            return std::nullopt;
    }
    if (v[2] == 0 || v[3] == 0)
        return std::nullopt;
    return QRect(v[0], v[1], v[2], v[3]);
}

} // namespace

int runOcr(const QStringList &args) {
    QString image, languages;
    QRect area;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--area") || a == QLatin1String("--lang")) {
            if (i + 1 >= args.size())
                return errorExit(QStringLiteral("%1 needs a value").arg(a));
            const QString value = args[++i];
            if (a == QLatin1String("--lang")) {
                languages = value;
            } else if (const std::optional<QRect> r = parseArea(value)) {
                area = *r;
            } else {
                return errorExit(
                    QStringLiteral("--area wants X,Y,W,H in pixels, W and H above 0: %1")
                        .arg(value));
            }
        } else if (image.isEmpty() && !a.startsWith(QLatin1String("--"))) {
            image = a;
        } else {
            return errorExit(QString::fromLatin1(Usage));
        }
    }
    if (image.isEmpty())
        return errorExit(QString::fromLatin1(Usage));
    if (languages.isEmpty())
        languages = ocr::configuredLanguages(toolFolders());

    // The result file goes to a folder of our own, so a running program's result is untouched.
    QTemporaryDir folder;
    if (!folder.isValid())
        return errorExit(
            QStringLiteral("cannot create a temporary folder: %1").arg(folder.errorString()));
    ocr::OcrLibrary &library = ocr::OcrLibrary::shared();
    const ocr::Recognition result = ocr::RecognizeImageFile(
        image, folder.path(), [&](const QString &imagePath, const QString &resultFolder) {
            return library.recognise(imagePath, resultFolder, languages, area);
        });
    if (!result.ok)
        return errorExit(result.error);
    const QByteArray out = result.text.toUtf8();
    if (std::fwrite(out.constData(), 1, size_t(out.size()), stdout) != size_t(out.size()) ||
        std::fflush(stdout) != 0)
        return errorExit(QStringLiteral("cannot write the output"));
    return 0;
}

} // namespace qen::tool
