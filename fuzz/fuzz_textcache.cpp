// The text cache's reader: whatever lies in an entry file, it is either a whole layer for its
// key or nothing, and what it gives is usable.
#include "fuzzsupport.h"
#include "ocr/textcache.h"

using namespace qen;
using namespace qen::ocr;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static TextCache cache(fuzz::scratch() + QStringLiteral("/text"), 1024 * 1024);
    // The key the seeds were written for.
    static const QByteArray key(64, 'a');
    fuzz::writeFile(cache.pathFor(key), data, size);
    const std::optional<TextLayer> layer = cache.load(key);
    if (!layer) {
        QEN_FUZZ_CHECK(!QFile::exists(cache.pathFor(key)), "a rejected entry stays in the cache");
        return 0;
    }
    const QRect page(QPoint(0, 0), layer->pageSize());
    QList<int> glyphOfChar;
    const QString text = layer->plainText(&glyphOfChar);
    QEN_FUZZ_CHECK(glyphOfChar.size() == text.size(), "the text and its glyph map differ");
    for (int i = 0; i < layer->count(); ++i) {
        QEN_FUZZ_CHECK(!layer->glyphText(i).isEmpty(), "a glyph without text");
        QEN_FUZZ_CHECK(layer->box(i).isEmpty() || page.contains(layer->box(i)),
                       "a glyph's box leaves the page");
    }
    for (int l = 0; l < layer->lineCount(); ++l)
        QEN_FUZZ_CHECK(layer->lineOf(layer->firstGlyphOfLine(l)) == l, "lines do not add up");
    layer->boxesForText(0, int(text.size()));
    const std::optional<TextLayer> again =
        TextCache::fromEntryBytes(key, TextCache::entryBytes(key, *layer));
    QEN_FUZZ_CHECK(again && *again == *layer, "a loaded layer does not store and load again");
    return 0;
}
