#pragma once

#include "ocr/enginestamp.h"
#include "ocr/languages.h"
#include "platform/workfolders.h"

#include <QLibrary>
#include <QMutex>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>

// Recognition of an image file through the library behind the call contract
// (engine/qenocr.h): the program and qentool both come through here.
namespace qen::ocr {

// The Debian packages that provide the data of a "+"-separated language list.
QStringList languagePackages(const QString &languages);

struct OcrOutcome {
    int status = 0;  // a QenOcrStatus
    QString message; // for the user, when status is not QEN_OCR_OK
    bool ok() const { return status == 0; }
};

// One recognition behind the contract: the image file in, ATEMP000.TXT in resultFolder out.
using OcrCall = std::function<OcrOutcome(const QString &imagePath, const QString &resultFolder)>;

// The library, loaded on first use and kept for the program's life (its engine is costly to
// start). Thread-safe: calls run one at a time.
class OcrLibrary {
public:
    explicit OcrLibrary(QStringList candidates);
    // The program's library, looked for beside the running executable.
    static OcrLibrary &shared();

    OcrOutcome recognise(const QString &imagePath, const QString &resultFolder,
                         const QString &languages, const QRect &area = QRect());
    // A call bound to the languages to use.
    OcrCall call(const QString &languages);

private:
    bool loadLocked(QString *error);

    QStringList m_candidates;
    QMutex m_mutex;
    QLibrary m_library;
    void *m_entry = nullptr;
    QString m_loadError;
};

struct Recognition {
    bool ok = true;
    QString text;  // the result file's whole content; empty when the library wrote none
    QString error; // for the user when !ok
};

// Deletes the earlier result, runs the call, and reads back what it wrote. A result that
// cannot be removed stops before the call: reading it back would pass old text off as new.
Recognition RecognizeImageFile(const QString &sImageFile, const QString &resultFolder,
                               const OcrCall &call);

} // namespace qen::ocr
