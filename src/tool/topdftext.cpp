// The text of topdf --text: every page read once, as qentool text reads it, so that a page
// read by either command is not read again by the other.
#include "ocr/recognition.h"
#include "ocr/textcache.h"
#include "platform/error.h"
#include "tool/commands.h"

#include <cstdio>

namespace qen::tool {

// The page is read through the engine's own path, which hashes the file as it reads it.
ocr::TextLayer recognisedPageText(const QString &page, const QString &decoded, const QByteArray &) {
    static ocr::PageReader reader(ocr::PageEngineLibrary::shared(),
                                  ocr::configuredLanguages(toolFolders()));
    static ocr::TextCache cache(ocr::TextCache::defaultFolder(),
                                ocr::TextCache::configuredCapBytes(toolFolders()));
    static const bool told = [] {
        if (!cache.usable())
            std::fprintf(stderr, "qentool: %s\n", qPrintable(cache.problem()));
        return true;
    }();
    Q_UNUSED(told);
    std::function<QString()> decode;
    if (decoded != page)
        decode = [decoded] { return decoded; };
    ocr::PageReading r = ocr::pageText(page, &cache, reader, nullptr, decode);
    if (!r.ok())
        throw Error(QStringLiteral("页面 %1 的文字无法识别：%2").arg(page, r.message));
    return *r.layer;
}

} // namespace qen::tool
