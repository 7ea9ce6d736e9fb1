#include "ocr/pagereader.h"

#include "ocr/engine/qenocr.h"
#include "ocr/enginestamp.h"
#include "ocr/recognition.h"
#include "ocr/textcache.h"
#include "platform/companion.h"

#include <QCoreApplication>
#include <QMutexLocker>

namespace qen::ocr {

PageEngineLibrary::PageEngineLibrary(QStringList candidates)
    : m_candidates(std::move(candidates)) {}

PageEngineLibrary &PageEngineLibrary::shared() {
    static PageEngineLibrary library(librarySearchPaths(QCoreApplication::applicationDirPath()));
    return library;
}

const QenOcrPageApi *PageEngineLibrary::api(QString *error) {
    QMutexLocker lock(&m_mutex);
    if (m_api)
        return m_api;
    if (m_loadError.isEmpty()) {
        QStringList reasons;
        auto entry = reinterpret_cast<QenOcrPageApiFn>(
            loadCompanionEntry(m_library, m_candidates, QEN_OCR_PAGE_ENTRY, &reasons));
        const QenOcrPageApi *api = entry ? entry() : nullptr;
        // A library built against another form of the table is not called at all.
        if (api && api->structSize >= int(sizeof(QenOcrPageApi)) && api->version) {
            m_api = api;
            // What lets a later process that only reads the cache know the version without
            // loading the engine.
            enginestamp::record(TextCache::defaultFolder(), QString::fromUtf8(api->version),
                                enginestamp::loadedEngineLibraries());
        } else if (entry)
            reasons << QStringLiteral("识别库的页面接口版本不符");
        if (!m_api)
            m_loadError = QStringLiteral("无法载入文字识别库：%1（查找位置：%2）")
                              .arg(reasons.join(QStringLiteral("；")),
                                   m_candidates.join(QStringLiteral("、")));
    }
    if (!m_api && error)
        *error = m_loadError;
    return m_api;
}

QString PageEngineLibrary::version() {
    const QenOcrPageApi *a = api(nullptr);
    return a ? QString::fromUtf8(a->version) : QString();
}

PageReader::PageReader(PageEngineLibrary &library, QString languages)
    : m_library(library), m_languages(std::move(languages)) {}

PageReader::~PageReader() {
    if (m_engine)
        m_api->close(m_engine);
}

PageReading PageReader::read(const QString &imagePath, const QRect &area,
                             const volatile int *cancel) {
    if (m_openFailure.status != QEN_OCR_OK)
        return m_openFailure;
    char message[2048] = {};
    if (!m_engine) {
        QString error;
        m_api = m_library.api(&error);
        if (!m_api)
            return m_openFailure = {QEN_OCR_ENGINE_FAILED, error, std::nullopt};
        int status = QEN_OCR_ENGINE_FAILED;
        m_engine =
            m_api->open(m_languages.toUtf8().constData(), &status, message, int(sizeof message));
        if (!m_engine) {
            QString detail = QString::fromUtf8(message);
            if (status == QEN_OCR_MISSING_LANGUAGE)
                detail = QStringLiteral("缺少文字识别的语言数据：%1\n\n请安装 Debian 软件包 %2。")
                             .arg(detail, languagePackages(detail).join(QStringLiteral("、")));
            return m_openFailure = {status, detail, std::nullopt};
        }
    }
    const QByteArray path = imagePath.toUtf8();
    QenOcrPageRequest request{};
    request.structSize = sizeof request;
    request.imagePath = path.constData();
    request.cancel = cancel;
    if (area.isValid()) {
        request.areaX = area.x();
        request.areaY = area.y();
        request.areaWidth = area.width();
        request.areaHeight = area.height();
    }
    unsigned char *layout = nullptr;
    int layoutSize = 0;
    const int status =
        m_api->read(m_engine, &request, &layout, &layoutSize, message, int(sizeof message));
    const QByteArray bytes(reinterpret_cast<const char *>(layout), layout ? layoutSize : 0);
    if (layout)
        m_api->freeLayout(layout);
    if (status != QEN_OCR_OK) {
        const QString detail = QString::fromUtf8(message);
        return {status,
                detail.isEmpty() ? QStringLiteral("文字识别失败（代码 %1）").arg(status) : detail,
                std::nullopt};
    }
    PageReading reading;
    reading.layer = TextLayer::fromBytes(bytes);
    if (!reading.layer) {
        reading.status = QEN_OCR_ENGINE_FAILED;
        reading.message = QStringLiteral("识别库交回的版面无法读取");
    }
    return reading;
}

} // namespace qen::ocr
