#include "ocr/recognition.h"

#include "ocr/engine/qenocr.h"
#include "ocr/enginestamp.h"
#include "ocr/resultfile.h"
#include "platform/companion.h"
#include "platform/error.h"
#include "platform/filehelpers.h"
#include "platform/profilestring.h"

#include <QCoreApplication>
#include <QMutexLocker>

namespace qen::ocr {

namespace {

QString loadFailureMessage(const QStringList &candidates, const QString &reason) {
    return QStringLiteral("无法载入文字识别库 %1：%2\n\n"
                          "查找位置：%3\n"
                          "识别库依赖 Debian 软件包 libtesseract5 和 liblept5，"
                          "语言数据来自 %4。")
        .arg(libraryFileName(), reason, candidates.join(QStringLiteral("、")),
             languagePackages(defaultLanguages()).join(QStringLiteral("、")));
}

QString missingLanguageMessage(const QString &languages) {
    return QStringLiteral("缺少文字识别的语言数据：%1\n\n请安装 Debian 软件包 %2。")
        .arg(languages, languagePackages(languages).join(QStringLiteral("、")));
}

} // namespace

QStringList languagePackages(const QString &languages) {
    QStringList packages;
    for (const QString &name : languages.split(QLatin1Char('+'), Qt::SkipEmptyParts)) {
        QString package = QStringLiteral("tesseract-ocr-") +
                          name.trimmed().toLower().replace(QLatin1Char('_'), QLatin1Char('-'));
        if (!packages.contains(package))
            packages << package;
    }
    return packages;
}

OcrLibrary::OcrLibrary(QStringList candidates) : m_candidates(std::move(candidates)) {}

OcrLibrary &OcrLibrary::shared() {
    static OcrLibrary library(librarySearchPaths(QCoreApplication::applicationDirPath()));
    return library;
}

bool OcrLibrary::loadLocked(QString *error) {
    if (m_entry)
        return true;
    if (!m_loadError.isEmpty()) {
        *error = m_loadError;
        return false;
    }
    QStringList reasons;
    m_entry = loadCompanionEntry(m_library, m_candidates, QEN_OCR_ENTRY, &reasons);
    if (m_entry)
        return true;
    // A library that failed once fails again: the answer is kept rather than retried on
    // every recognition.
    m_loadError = loadFailureMessage(m_candidates, reasons.join(QStringLiteral("；")));
    *error = m_loadError;
    return false;
}

OcrOutcome OcrLibrary::recognise(const QString &imagePath, const QString &resultFolder,
                                 const QString &languages, const QRect &area) {
    QMutexLocker lock(&m_mutex);
    QString error;
    if (!loadLocked(&error))
        return {QEN_OCR_ENGINE_FAILED, error};
    const QByteArray image = imagePath.toUtf8();
    const QByteArray folder = resultFolder.toUtf8();
    const QByteArray langs = languages.toUtf8();
    QenOcrRequest request{};
    request.structSize = sizeof request;
    request.imagePath = image.constData();
    request.resultFolder = folder.constData();
    request.languages = langs.constData();
    if (area.isValid()) {
        request.areaX = area.x();
        request.areaY = area.y();
        request.areaWidth = area.width();
        request.areaHeight = area.height();
    }
    char message[2048] = {};
    const int status =
        reinterpret_cast<QenOcrRecognizeFn>(m_entry)(&request, message, int(sizeof message));
    if (status == QEN_OCR_OK)
        return {};
    const QString detail = QString::fromUtf8(message);
    if (status == QEN_OCR_MISSING_LANGUAGE)
        return {status, missingLanguageMessage(detail.isEmpty() ? languages : detail)};
    return {status,
            detail.isEmpty() ? QStringLiteral("文字识别失败（代码 %1）").arg(status) : detail};
}

OcrCall OcrLibrary::call(const QString &languages) {
    return [this, languages](const QString &imagePath, const QString &resultFolder) {
        return recognise(imagePath, resultFolder, languages);
    };
}

Recognition RecognizeImageFile(const QString &sImageFile, const QString &resultFolder,
                               const OcrCall &call) {
    const QString resultPath = resultFilePath(resultFolder);
    try {
        removeStaleResult(resultPath);
    } catch (const Error &e) {
        return {false, QString(), e.description()};
    }
    const OcrOutcome outcome = call(sImageFile, resultFolder);
    if (!outcome.ok())
        return {false, QString(), outcome.message};
    if (!FileExists(resultPath))
        return {};
    try {
        return {true, readTextFile(resultPath), QString()};
    } catch (const Error &e) {
        return {false, QString(), e.description()};
    }
}

} // namespace qen::ocr
