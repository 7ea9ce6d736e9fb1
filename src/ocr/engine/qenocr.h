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
    QEN_OCR_WRITE_FAILED = 6
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

#ifdef __cplusplus
}
#endif
