#pragma once

#include "ocr/textlayer.h"

#include <QLibrary>
#include <QMutex>
#include <QRect>
#include <QString>
#include <QStringList>
#include <memory>

struct QenOcrPageApi;
struct QenOcrPageEngine;

// Whole pages read through the recognition library's second entry point (engine/qenocr.h):
// every reader is one engine of its own, so that several threads can read pages at once.
namespace qen::ocr {

struct PageReading {
    int status = 0; // a QenOcrStatus
    QString message;
    std::optional<TextLayer> layer;
    bool ok() const { return status == 0 && layer.has_value(); }
};

class PageEngineLibrary {
public:
    explicit PageEngineLibrary(QStringList candidates);
    // The program's library, looked for beside the running executable.
    static PageEngineLibrary &shared();

    // Null when the library cannot be loaded; *error then says why.
    const QenOcrPageApi *api(QString *error);
    // The engine's version string, part of every cache key; empty when it cannot be loaded.
    QString version();

private:
    QStringList m_candidates;
    QMutex m_mutex;
    QLibrary m_library;
    const QenOcrPageApi *m_api = nullptr;
    QString m_loadError;
};

// One engine. Used by one thread at a time; started on the first page it reads.
class PageReader {
public:
    PageReader(PageEngineLibrary &library, QString languages);
    ~PageReader();
    PageReader(const PageReader &) = delete;
    PageReader &operator=(const PageReader &) = delete;

    QString languages() const { return m_languages; }
    // What cache keys are made of: the library's version string, empty when it cannot load.
    QString engineVersion() const { return m_library.version(); }
    // The whole page, or its area in page pixels. Setting *cancel from another thread stops
    // the reading soon after (QEN_OCR_CANCELLED).
    PageReading read(const QString &imagePath, const QRect &area = QRect(),
                     const volatile int *cancel = nullptr);

private:
    PageEngineLibrary &m_library;
    QString m_languages;
    const QenOcrPageApi *m_api = nullptr;
    QenOcrPageEngine *m_engine = nullptr;
    PageReading m_openFailure; // an engine that failed to start fails again
};

} // namespace qen::ocr
