// Starting an engine without the universal ambiguity table.
//
// Every TessBaseAPI::Init builds Tesseract's built-in table of character ambiguities (rn/m,
// cl/d and a few thousand more) by sorted insertion into linked lists: 60 % of starting the
// Chinese model and 80 % of starting the English one, longer than reading a three-line area.
// Only the legacy classifier and its adaptive training read the table; we start every engine
// LSTM-only, whose recogniser never looks at it, so its results are the same without it
// (checked on our test pages: text, boxes and confidences alike).
//
// libtesseract exports the function and calls it through its procedure linkage table. The
// program loads this library, and libtesseract with it, into a scope of their own, where this
// library comes first, so the engine's call finds this definition. Where libtesseract is found
// before us (loaded into the global scope by someone else) or no longer calls the function,
// its own table is built as before: slower, never different.
#include <tesseract/version.h>

#if TESSERACT_MAJOR_VERSION >= 4

// tesseract::UnicharAmbigs::LoadUniversal(const UNICHARSET &encoder_set, UNICHARSET *set):
// a member function, called with the table as its first argument.
extern "C" __attribute__((visibility("default"))) void qenSkipUniversalAmbigs(
    void *, const void *,
    void *) __asm__("_ZN9tesseract13UnicharAmbigs13LoadUniversalERKNS_10UNICHARSETEPS1_");

extern "C" void qenSkipUniversalAmbigs(void *, const void *, void *) {}

#endif
