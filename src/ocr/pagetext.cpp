// Reading a page through the cache: the part of the cache that needs the engine, kept apart
// so that the cache itself links without it.
#include "ocr/engine/qenocr.h"
#include "ocr/textcache.h"

namespace qen::ocr {

PageReading pageText(const QString &pageFile, TextCache *cache, PageReader &reader, bool *fromCache,
                     const std::function<QString()> &decode, const volatile int *cancel) {
    if (fromCache)
        *fromCache = false;
    std::optional<QByteArray> key;
    if (cache && cache->usable()) {
        const QString version = reader.engineVersion();
        if (!version.isEmpty())
            key = TextCache::keyFor(pageFile, version, reader.languages());
        if (key) {
            if (std::optional<TextLayer> layer = cache->load(*key)) {
                if (fromCache)
                    *fromCache = true;
                return {0, QString(), std::move(layer)};
            }
        }
    }
    QString image = pageFile;
    if (decode) {
        image = decode();
        if (image.isEmpty())
            return {QEN_OCR_BAD_IMAGE, QStringLiteral("无法解码页面 %1").arg(pageFile),
                    std::nullopt};
    }
    PageReading reading = reader.read(image, QRect(), cancel);
    if (reading.ok() && key)
        cache->store(*key, *reading.layer);
    return reading;
}

} // namespace qen::ocr
