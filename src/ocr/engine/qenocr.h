#pragma once

// The call contract of the recognition library: an image file in, the recognised text in
// ATEMP000.TXT out. Plain C so that the program can load the library with QLibrary on first
// use and a different engine can stand behind the same entry point.
#ifdef __cplusplus
extern "C" {
#endif

#define QEN_OCR_ENTRY "qen_ocr_recognize"

enum QenOcrStatus {
    QEN_OCR_OK = 0,          // ATEMP000.TXT written (it may be empty: no text found)
    QEN_OCR_BAD_REQUEST = 1, // a missing path, an invalid language list or area
    QEN_OCR_BAD_IMAGE = 2,   // the image cannot be read
    QEN_OCR_IMAGE_TOO_LARGE = 3,
    QEN_OCR_MISSING_LANGUAGE = 4, // message: the missing language names, "+"-separated
    QEN_OCR_ENGINE_FAILED = 5,
    QEN_OCR_WRITE_FAILED = 6,
    QEN_OCR_CANCELLED = 7 // a page reading stopped on request
};

typedef struct QenOcrRequest {
    int structSize;           // sizeof(QenOcrRequest), so the struct can grow
    const char *imagePath;    // UTF-8
    const char *resultFolder; // UTF-8; ATEMP000.TXT is written here
    const char *languages;    // Tesseract names joined by "+"; NULL or "" for the default
    int areaX, areaY, areaWidth, areaHeight; // image pixels; width or height <= 0: whole image
} QenOcrRequest;

// Returns a QenOcrStatus; on failure writes a UTF-8 description (NUL-terminated, cut to
// messageSize) into message. Calls may come from any thread; they run one at a time.
typedef int (*QenOcrRecognizeFn)(const QenOcrRequest *request, char *message, int messageSize);

int qen_ocr_recognize(const QenOcrRequest *request, char *message, int messageSize);

// The second entry point: a page's layout, for the text layer of every page. It gives a table
// of calls; each engine opened through it is one recogniser, used by one thread at a time, so
// that several threads can read pages at once.
#define QEN_OCR_PAGE_ENTRY "qen_ocr_page_api"

typedef struct QenOcrPageEngine QenOcrPageEngine;

typedef struct QenOcrPageRequest {
    int structSize;                          // sizeof(QenOcrPageRequest)
    const char *imagePath;                   // UTF-8
    int areaX, areaY, areaWidth, areaHeight; // image pixels; width or height <= 0: whole page
    // When not NULL and set to non-zero by another thread, the reading stops soon after and
    // the call returns QEN_OCR_CANCELLED.
    const volatile int *cancel;
} QenOcrPageRequest;

typedef struct QenOcrPageApi {
    int structSize; // sizeof(QenOcrPageApi)
    // The engine, its version and every setting that changes what it reads: a stored layout
    // made under another version string is not to be used.
    const char *version;
    // NULL on failure, with *status a QenOcrStatus and a message as qen_ocr_recognize writes.
    QenOcrPageEngine *(*open)(const char *languages, int *status, char *message, int messageSize);
    // Reads the page (or its area) and hands back its layout in *layout, *layoutSize bytes, to
    // be freed with freeLayout. The layout is a CBOR map: {"v": 1, "w", "h": page size in
    // pixels, "dpi", "t": the glyphs' texts one after another, "n": a byte string of each
    // glyph's text length in UTF-16 units, "b": a byte string of four 16-bit little-endian
    // numbers per glyph (x, y, width, height in page pixels), "c": a confidence byte per
    // glyph (0-100), "f": a flag byte per glyph (1 blank before, 2 line start, 4 block
    // start)}. Glyphs are in reading order. Returns a QenOcrStatus.
    int (*read)(QenOcrPageEngine *engine, const QenOcrPageRequest *request, unsigned char **layout,
                int *layoutSize, char *message, int messageSize);
    void (*freeLayout)(unsigned char *layout);
    void (*close)(QenOcrPageEngine *engine);
} QenOcrPageApi;

typedef const QenOcrPageApi *(*QenOcrPageApiFn)(void);

const QenOcrPageApi *qen_ocr_page_api(void);

#ifdef __cplusplus
}
#endif
