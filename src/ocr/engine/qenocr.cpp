// The recognition library: one Tesseract engine for the life of the process, kept for as long
// as the same languages are asked for.
#include "ocr/engine/qenocr.h"

#include "library/imagedocument.h"
#include "ocr/ocrtext.h"
#include "ocr/resultfile.h"
#include "platform/error.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <cstring>
#include <memory>
#include <mutex>
#include <omp.h>
#include <tesseract/baseapi.h>

namespace {

// A whole A3 page at 400 dpi; more than any selection on a scanned page. Larger images would
// keep the engine busy for minutes and its memory in the gigabytes.
constexpr qint64 MaxPixels = 40ll * 1000 * 1000;
constexpr int MaxSide = 16000;
// Below this the engine finds nothing and complains; the result is simply empty.
constexpr int MinSide = 4;

std::mutex g_mutex;
std::unique_ptr<tesseract::TessBaseAPI> g_api;
QString g_languages;

void setMessage(char *message, int size, const QString &text) {
    if (!message || size <= 0)
        return;
    QByteArray utf8 = text.toUtf8();
    // Never cut inside a UTF-8 sequence.
    qsizetype n = std::min<qsizetype>(utf8.size(), size - 1);
    while (n > 0 && n < utf8.size() && (uchar(utf8[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(message, utf8.constData(), size_t(n));
    message[n] = '\0';
}

QString tessdataFolder(const QStringList &languages) {
    QStringList candidates;
    const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX");
    if (!prefix.isEmpty())
        candidates << prefix << prefix + QStringLiteral("/tessdata");
    candidates << QStringLiteral("/usr/share/tesseract-ocr/5/tessdata")
               << QStringLiteral("/usr/share/tesseract-ocr/4.00/tessdata")
               << QStringLiteral("/usr/share/tessdata");
    for (const QString &dir : candidates) {
        const bool all = std::all_of(languages.begin(), languages.end(), [&](const QString &l) {
            return QFileInfo::exists(dir + QLatin1Char('/') + l + QStringLiteral(".traineddata"));
        });
        if (all)
            return dir;
    }
    return QString();
}

QStringList missingLanguages(const QStringList &languages) {
    QStringList missing;
    for (const QString &l : languages)
        if (tessdataFolder({l}).isEmpty())
            missing << l;
    return missing;
}

// Debian's libtesseract runs its network layers with OpenMP; on a small machine the threads
// fight each other and a recognition takes several times longer than on one thread. The
// environment variable would be read too late (at the runtime's start), so it is switched
// off here, before the engine's first parallel region.
void singleThreaded() {
    static std::once_flag once;
    std::call_once(once, [] { omp_set_max_active_levels(0); });
}

int startEngine(const QString &languages, char *message, int size) {
    if (g_api && g_languages == languages)
        return QEN_OCR_OK;
    g_api.reset();
    const QStringList names = languages.split(QLatin1Char('+'));
    const QString folder = tessdataFolder(names);
    if (folder.isEmpty()) {
        setMessage(message, size, missingLanguages(names).join(QLatin1Char('+')));
        return QEN_OCR_MISSING_LANGUAGE;
    }
    singleThreaded();
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    if (api->Init(folder.toUtf8().constData(), languages.toUtf8().constData(),
                  tesseract::OEM_LSTM_ONLY) != 0) {
        setMessage(message, size,
                   QStringLiteral("文字识别引擎无法以语言 %1 启动（语言数据 %2 可能已损坏）")
                       .arg(languages, folder));
        return QEN_OCR_ENGINE_FAILED;
    }
    // The selection is one area of running text: reading it as a single block keeps the
    // engine from hunting for columns and pictures in a few lines.
    api->SetPageSegMode(tesseract::PSM_SINGLE_BLOCK);
    api->SetVariable("debug_file", "/dev/null");
    g_api = std::move(api);
    g_languages = languages;
    return QEN_OCR_OK;
}

int resolutionOf(const QImage &image) {
    const int dpi = qRound(image.dotsPerMeterX() * 0.0254);
    // Scans without a usable resolution are taken at the usual 300 dpi.
    return dpi >= 70 && dpi <= 2400 ? dpi : 300;
}

// A tight crop leaves characters touching the edge, which the engine reads poorly; a white
// margin of a tenth of an inch gives them room.
QImage paddedGray(const QImage &area, int dpi) {
    const int margin = std::max(8, dpi / 10);
    QImage gray(area.width() + 2 * margin, area.height() + 2 * margin, QImage::Format_Grayscale8);
    if (gray.isNull())
        return gray;
    gray.fill(255);
    QPainter painter(&gray);
    painter.drawImage(margin, margin, area.convertToFormat(QImage::Format_Grayscale8));
    return gray;
}

int recognise(const QenOcrRequest &request, char *message, int size) {
    const QString imagePath = QString::fromUtf8(request.imagePath);
    const QString folder = QString::fromUtf8(request.resultFolder);
    QString languages = request.languages ? QString::fromUtf8(request.languages) : QString();
    if (languages.trimmed().isEmpty())
        languages = QStringLiteral("chi_sim");
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9_]+(\\+[A-Za-z0-9_]+)*$"));
    if (!valid.match(languages).hasMatch()) {
        setMessage(message, size, QStringLiteral("识别语言设置无效：%1").arg(languages));
        return QEN_OCR_BAD_REQUEST;
    }

    QImage image;
    try {
        image = qen::ImageDocument::readFile(imagePath);
    } catch (const qen::Error &e) {
        setMessage(message, size, e.description());
        return QEN_OCR_BAD_IMAGE;
    }
    const int dpi = resolutionOf(image);
    if (request.areaWidth > 0 && request.areaHeight > 0) {
        const QRect area =
            QRect(request.areaX, request.areaY, request.areaWidth, request.areaHeight)
                .intersected(image.rect());
        image = area.isEmpty() ? QImage() : image.copy(area);
    }
    QString text;
    if (!image.isNull() && image.width() >= MinSide && image.height() >= MinSide) {
        if (image.width() > MaxSide || image.height() > MaxSide ||
            qint64(image.width()) * image.height() > MaxPixels) {
            setMessage(message, size,
                       QStringLiteral("识别区域过大（%1×%2 像素）；请选择较小的区域。")
                           .arg(image.width())
                           .arg(image.height()));
            return QEN_OCR_IMAGE_TOO_LARGE;
        }
        const int status = startEngine(languages, message, size);
        if (status != QEN_OCR_OK)
            return status;
        const QImage gray = paddedGray(image, dpi);
        image = QImage(); // the page copy is not needed while the engine works
        if (gray.isNull()) {
            setMessage(message, size, QStringLiteral("内存不足，无法识别这个区域"));
            return QEN_OCR_ENGINE_FAILED;
        }
        g_api->SetImage(gray.constBits(), gray.width(), gray.height(), 1, int(gray.bytesPerLine()));
        g_api->SetSourceResolution(dpi);
        std::unique_ptr<char[]> utf8(g_api->GetUTF8Text());
        // Frees the engine's copy of the image and its page results, so memory stays flat
        // from one recognition to the next.
        g_api->Clear();
        if (!utf8) {
            setMessage(message, size, QStringLiteral("文字识别引擎未能处理这个区域"));
            return QEN_OCR_ENGINE_FAILED;
        }
        text = qen::ocr::tidyRecognisedText(QString::fromUtf8(utf8.get()));
    }
    try {
        qen::ocr::writeTextFile(qen::ocr::resultFilePath(folder), text);
    } catch (const qen::Error &e) {
        setMessage(message, size, e.description());
        return QEN_OCR_WRITE_FAILED;
    }
    return QEN_OCR_OK;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int
qen_ocr_recognize(const QenOcrRequest *request, char *message, int messageSize) {
    setMessage(message, messageSize, QString());
    if (!request || request->structSize < int(sizeof(QenOcrRequest)) || !request->imagePath ||
        !request->resultFolder || !*request->imagePath || !*request->resultFolder) {
        setMessage(message, messageSize, QStringLiteral("识别请求不完整"));
        return QEN_OCR_BAD_REQUEST;
    }
    std::lock_guard lock(g_mutex);
    try {
        return recognise(*request, message, messageSize);
    } catch (const std::bad_alloc &) {
        g_api.reset();
        setMessage(message, messageSize, QStringLiteral("内存不足，无法识别这个区域"));
        return QEN_OCR_ENGINE_FAILED;
    }
}
