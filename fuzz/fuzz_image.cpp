// Page images as the image view loads them. The first byte picks the file's extension (the
// reader compares it with the content); the rest is the file. WWP pages go through our
// decoder first, as the page display does.
#include "articles/imagedocument.h"
#include "articles/tiffstored.h"
#include "articles/wwp.h"
#include "fuzzsupport.h"
#include "platform/error.h"

using namespace qen;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::ensureGuiApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    static const char *const extensions[] = {"tif", "jpg", "gif", "bmp", "png", "wwp", "page"};
    const char *ext = extensions[data[0] % std::size(extensions)];
    const QString path = fuzz::scratch() + QStringLiteral("/page.") + QLatin1String(ext);
    fuzz::writeFile(path, data + 1, size - 1);
    QString page = path;
    if (qstrcmp(ext, "wwp") == 0) {
        page = fuzz::scratch() + QStringLiteral("/page.tif");
        QFile::remove(page);
        if (!WwpDecoder::decodeWrapped(path, page))
            return 0;
    }
    QImage image;
    try {
        image = ImageDocument::readFile(page);
        QEN_FUZZ_CHECK(!image.isNull(), "a page read without an error is empty");
        QEN_FUZZ_CHECK(image.sizeInBytes() <= tiff::MaxImageBytes,
                       "a page larger than the cap was built");
    } catch (const Error &) {
    }
    // One page after another into one document, as page turns go: each is decoded into the
    // memory of the last, on two threads where it is large enough. It must be the same page.
    // Seeds for it: jpeg-2000x1000-*.jpg, ImageMagick's `convert -size 2000x1000 xc:#3060a0
    // -quality 10`, whole and with 400 bytes two thirds into its scan overwritten by Python.
    static ImageDocument turns;
    try {
        turns.load(page, ImageDocument::Threads::Two);
        QEN_FUZZ_CHECK(turns.large() || image.isNull() || turns.image() == image,
                       "a page read on two threads or into the last one's memory differs");
    } catch (const Error &) {
        QEN_FUZZ_CHECK(image.isNull(), "a page read on one thread fails on two");
    }
    return 0;
}
