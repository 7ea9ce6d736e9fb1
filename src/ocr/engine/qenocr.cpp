// The recognition library: one Tesseract engine for the life of the process, kept for as long
// as the same languages are asked for.
#include "ocr/engine/qenocr.h"

#include "articles/imagedocument.h"
#include "ocr/ocrtext.h"
#include "ocr/pageregions.h"
#include "ocr/resultfile.h"
#include "ocr/textlayer.h"
#include "platform/error.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <mutex>
#include <omp.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

namespace {

// A whole A3 page at 400 dpi; more than any selection on a scanned page. Larger images would
// keep the engine busy for minutes and its memory in the gigabytes.
constexpr qint64 MaxPixels = 40ll * 1000 * 1000;
constexpr int MaxSide = 16000;
// Below this the engine finds nothing and complains; the result is simply empty.
constexpr int MinSide = 4;
// The English model's mean confidence above which its reading of a Latin word is taken.
constexpr int MinLatinConfidence = 70;

std::mutex g_mutex;
std::unique_ptr<tesseract::TessBaseAPI> g_api;
// The English model, for a second reading of Latin words found in Chinese text; started on
// the first such word.
std::unique_ptr<tesseract::TessBaseAPI> g_latin;
bool g_latinTried = false; // a missing English model is looked for once
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
// environment variable would be read too late (at the runtime's start), so parallel regions
// are switched off here, on the thread that recognises (the setting may belong to the
// calling thread, and the program calls from a new thread each time).
void singleThreaded() {
    omp_set_max_active_levels(0);
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

bool isLatinLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::unique_ptr<tesseract::TessBaseAPI> startLatinEngine() {
    const QString folder = tessdataFolder({QStringLiteral("eng")});
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    if (folder.isEmpty() ||
        api->Init(folder.toUtf8().constData(), "eng", tesseract::OEM_LSTM_ONLY) != 0)
        return nullptr; // the Chinese reading stands
    api->SetPageSegMode(tesseract::PSM_SINGLE_LINE);
    api->SetVariable("debug_file", "/dev/null");
    return api;
}

// Loaded when the first Latin word needs it, not with the Chinese model: most areas have
// none, and loading it beside the first reading took a core from it.
tesseract::TessBaseAPI *latinEngine() {
    if (!g_latin && !g_latinTried) {
        g_latinTried = true;
        g_latin = startLatinEngine();
    }
    return g_latin.get();
}

// The Chinese model reads Latin words in Chinese text poorly (OpenCV as OpenCyV, Python as
// Pvthon) and is sure of itself when it does; the English model reads them well but Chinese
// not at all. So the area is read with the configured languages, and each run of Latin letters
// in the result is read again by the English model on its own box; a confident English
// reading replaces the run.
std::string readWithLatinSecondOpinion(tesseract::TessBaseAPI &api, const QImage &gray, int dpi) {
    std::unique_ptr<char[]> whole(api.GetUTF8Text());
    std::string out = whole ? whole.get() : "";
    struct Run {
        std::string text;
        int left = INT_MAX, top = INT_MAX, right = 0, bottom = 0;
        int letters = 0;
    };
    std::vector<Run> runs;
    std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    if (!it || out.empty())
        return out;
    Run run;
    auto closeRun = [&] {
        if (run.letters >= 2)
            runs.push_back(run);
        run = Run{};
    };
    do {
        if (it->Empty(tesseract::RIL_SYMBOL))
            continue;
        if (it->IsAtBeginningOf(tesseract::RIL_WORD))
            closeRun();
        std::unique_ptr<char[]> symbol(it->GetUTF8Text(tesseract::RIL_SYMBOL));
        const std::string text = symbol ? symbol.get() : "";
        const bool ascii = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
            return uchar(c) > 0x20 && uchar(c) < 0x7F;
        });
        if (!ascii) {
            closeRun();
            continue;
        }
        int l, t, r, b;
        if (it->BoundingBox(tesseract::RIL_SYMBOL, &l, &t, &r, &b)) {
            run.left = std::min(run.left, l);
            run.top = std::min(run.top, t);
            run.right = std::max(run.right, r);
            run.bottom = std::max(run.bottom, b);
        }
        run.text += text;
        run.letters += int(std::count_if(text.begin(), text.end(), isLatinLetter));
    } while (it->Next(tesseract::RIL_SYMBOL));
    closeRun();
    if (runs.empty())
        return out;

    tesseract::TessBaseAPI *latin = latinEngine();
    if (!latin)
        return out;
    latin->SetImage(gray.constBits(), gray.width(), gray.height(), 1, int(gray.bytesPerLine()));
    latin->SetSourceResolution(dpi);
    const int pad = std::max(4, dpi / 40);
    struct Replacement {
        size_t at, length;
        std::string text;
    };
    std::vector<Replacement> replacements;
    size_t cursor = 0;
    for (const Run &r : runs) {
        // The runs come in reading order, as the text does.
        const size_t at = out.find(r.text, cursor);
        if (at == std::string::npos || r.right <= r.left || r.bottom <= r.top)
            continue;
        cursor = at + r.text.size();
        const QRect box =
            QRect(QPoint(r.left - pad, r.top - pad), QPoint(r.right + pad, r.bottom + pad))
                .intersected(gray.rect());
        latin->SetRectangle(box.x(), box.y(), box.width(), box.height());
        std::unique_ptr<char[]> reading(latin->GetUTF8Text());
        if (!reading || latin->MeanTextConf() < MinLatinConfidence)
            continue;
        std::string word = reading.get();
        while (!word.empty() && (word.back() == '\n' || word.back() == ' '))
            word.pop_back();
        const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
            return uchar(c) > 0x20 && uchar(c) < 0x7F;
        });
        if (plain && word != r.text)
            replacements.push_back({at, r.text.size(), word});
    }
    latin->Clear();
    for (auto r = replacements.rbegin(); r != replacements.rend(); ++r)
        out.replace(r->at, r->length, r->text);
    return out;
}

int resolutionOf(const QImage &image) {
    const int dpi = qRound(image.dotsPerMeterX() * 0.0254);
    // Scans without a usable resolution are taken at the usual 300 dpi.
    return dpi >= 70 && dpi <= 2400 ? dpi : 300;
}

void despeckle(QImage &gray);

int paddingFor(int dpi) {
    return std::max(8, dpi / 10);
}

// A tight crop leaves characters touching the edge, which the engine reads poorly; a white
// margin of a tenth of an inch gives them room.
QImage paddedGray(const QImage &area, int dpi, qen::ocr::PageInk *ink = nullptr) {
    const int margin = paddingFor(dpi);
    QImage gray(area.width() + 2 * margin, area.height() + 2 * margin, QImage::Format_Grayscale8);
    if (gray.isNull())
        return gray;
    gray.fill(255);
    {
        QPainter painter(&gray);
        painter.drawImage(margin, margin, area.convertToFormat(QImage::Format_Grayscale8));
    }
    despeckle(gray);
    if (ink)
        *ink = qen::ocr::removeSpeckles(gray);
    return gray;
}

// Scanner speckle: a dark pixel with no dark neighbour, or a light one with dark pixels on
// all four sides. Both are noise at 300 dpi, where the thinnest stroke is two pixels wide, and
// both cost the engine whole characters. Decided on the original pixels, written to a copy.
void despeckle(QImage &gray) {
    const QImage source = gray.copy();
    const int w = source.width(), h = source.height();
    for (int y = 1; y + 1 < h; ++y) {
        const uchar *above = source.constScanLine(y - 1);
        const uchar *row = source.constScanLine(y);
        const uchar *below = source.constScanLine(y + 1);
        uchar *out = gray.scanLine(y);
        for (int x = 1; x + 1 < w; ++x) {
            const bool dark = row[x] < 128;
            const int darkSides =
                (above[x] < 128) + (below[x] < 128) + (row[x - 1] < 128) + (row[x + 1] < 128);
            if (dark && darkSides == 0 && above[x - 1] >= 128 && above[x + 1] >= 128 &&
                below[x - 1] >= 128 && below[x + 1] >= 128)
                out[x] = 255;
            else if (!dark && darkSides == 4)
                out[x] = 0;
        }
    }
}

bool validLanguages(const QString &languages) {
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9_]+(\\+[A-Za-z0-9_]+)*$"));
    return valid.match(languages).hasMatch();
}

// The selected area, ready for the engine: padded gray pixels, or why there are none.
struct PreparedArea {
    int status = QEN_OCR_OK;
    QString message;
    QImage gray; // null when the area is too small to hold text
    int dpi = 300;
};

PreparedArea prepareArea(const QString &imagePath, const QenOcrRequest &request) {
    PreparedArea out;
    QImage image;
    try {
        image = qen::ImageDocument::readFile(imagePath);
    } catch (const qen::Error &e) {
        return {QEN_OCR_BAD_IMAGE, e.description(), QImage(), 0};
    }
    out.dpi = resolutionOf(image);
    if (request.areaWidth > 0 && request.areaHeight > 0) {
        const QRect area =
            QRect(request.areaX, request.areaY, request.areaWidth, request.areaHeight)
                .intersected(image.rect());
        image = area.isEmpty() ? QImage() : image.copy(area);
    }
    if (image.isNull() || image.width() < MinSide || image.height() < MinSide)
        return out;
    if (image.width() > MaxSide || image.height() > MaxSide ||
        qint64(image.width()) * image.height() > MaxPixels)
        return {QEN_OCR_IMAGE_TOO_LARGE,
                QStringLiteral("识别区域过大（%1×%2 像素）；请选择较小的区域。")
                    .arg(image.width())
                    .arg(image.height()),
                QImage(), 0};
    out.gray = paddedGray(image, out.dpi);
    if (out.gray.isNull())
        return {QEN_OCR_ENGINE_FAILED, QStringLiteral("内存不足，无法识别这个区域"), QImage(), 0};
    return out;
}

int recognise(const QenOcrRequest &request, char *message, int size) {
    const QString imagePath = QString::fromUtf8(request.imagePath);
    const QString folder = QString::fromUtf8(request.resultFolder);
    QString languages = request.languages ? QString::fromUtf8(request.languages) : QString();
    if (languages.trimmed().isEmpty())
        languages = QStringLiteral("chi_sim");
    if (!validLanguages(languages)) {
        setMessage(message, size, QStringLiteral("识别语言设置无效：%1").arg(languages));
        return QEN_OCR_BAD_REQUEST;
    }

    // The page is read and the area prepared while the models load: in a short-lived process
    // (qentool) loading takes as long as both. The models load on this thread, not the helper:
    // glibc gives a second thread a heap of its own that grows by a system call for every few
    // pages, and the models' hundred thousand small pieces made that thousands of calls.
    std::future<PreparedArea> prepared =
        std::async(std::launch::async, [&] { return prepareArea(imagePath, request); });
    char engineMessage[2048] = {};
    int engineStatus = QEN_OCR_OK;
    try {
        engineStatus = startEngine(languages, engineMessage, int(sizeof engineMessage));
    } catch (...) {
        prepared.wait(); // the helper refers to this frame
        throw;
    }
    const PreparedArea area = prepared.get();
    // The page's own errors are heard first: they are the caller's to fix.
    if (area.status != QEN_OCR_OK) {
        setMessage(message, size, area.message);
        return area.status;
    }
    QString text;
    if (!area.gray.isNull()) {
        if (engineStatus != QEN_OCR_OK) {
            setMessage(message, size, QString::fromUtf8(engineMessage));
            return engineStatus;
        }
        const QImage &gray = area.gray;
        g_api->SetImage(gray.constBits(), gray.width(), gray.height(), 1, int(gray.bytesPerLine()));
        g_api->SetSourceResolution(area.dpi);
        singleThreaded();
        const bool recognised = g_api->Recognize(nullptr) == 0;
        const std::string utf8 =
            recognised ? readWithLatinSecondOpinion(*g_api, gray, area.dpi) : std::string();
        // Frees the engine's copy of the image and its page results, so memory stays flat
        // from one recognition to the next.
        g_api->Clear();
        if (!recognised) {
            setMessage(message, size, QStringLiteral("文字识别引擎未能处理这个区域"));
            return QEN_OCR_ENGINE_FAILED;
        }
        text = qen::ocr::tidyRecognisedText(QString::fromStdString(utf8));
    }
    // An area too small to hold text has an empty result, whatever the engine says.
    try {
        qen::ocr::writeTextFile(qen::ocr::resultFilePath(folder), text);
    } catch (const qen::Error &e) {
        setMessage(message, size, e.description());
        return QEN_OCR_WRITE_FAILED;
    }
    return QEN_OCR_OK;
}

// ---- Whole pages: the layout behind the text layer.

// Raised whenever anything changes what a page reads as, so stored layouts are read again.
constexpr int PageLayoutVersion = 1;

const char *pageEngineVersion() {
    static const std::string version =
        "qenocr page layout " + std::to_string(PageLayoutVersion) + "; tesseract " +
        tesseract::TessBaseAPI::Version() +
        "; LSTM; automatic segmentation by own gutters; speckles by stroke";
    return version.c_str();
}

} // namespace

struct QenOcrPageEngine {
    std::unique_ptr<tesseract::TessBaseAPI> api;
};

namespace {

QenOcrPageEngine *openPageEngine(const char *languagesUtf8, int *status, char *message, int size) {
    int ignored = 0;
    int &result = status ? *status : ignored;
    setMessage(message, size, QString());
    try {
        QString languages = languagesUtf8 ? QString::fromUtf8(languagesUtf8) : QString();
        if (languages.trimmed().isEmpty())
            languages = QStringLiteral("chi_sim");
        if (!validLanguages(languages)) {
            setMessage(message, size, QStringLiteral("识别语言设置无效：%1").arg(languages));
            result = QEN_OCR_BAD_REQUEST;
            return nullptr;
        }
        const QStringList names = languages.split(QLatin1Char('+'));
        const QString folder = tessdataFolder(names);
        if (folder.isEmpty()) {
            setMessage(message, size, missingLanguages(names).join(QLatin1Char('+')));
            result = QEN_OCR_MISSING_LANGUAGE;
            return nullptr;
        }
        singleThreaded();
        auto engine = std::make_unique<QenOcrPageEngine>();
        engine->api = std::make_unique<tesseract::TessBaseAPI>();
        if (engine->api->Init(folder.toUtf8().constData(), languages.toUtf8().constData(),
                              tesseract::OEM_LSTM_ONLY) != 0) {
            setMessage(message, size,
                       QStringLiteral("文字识别引擎无法以语言 %1 启动（语言数据 %2 可能已损坏）")
                           .arg(languages, folder));
            result = QEN_OCR_ENGINE_FAILED;
            return nullptr;
        }
        engine->api->SetVariable("debug_file", "/dev/null");
        result = QEN_OCR_OK;
        return engine.release();
    } catch (const std::bad_alloc &) {
        setMessage(message, size, QStringLiteral("内存不足，无法启动文字识别引擎"));
        result = QEN_OCR_ENGINE_FAILED;
        return nullptr;
    }
}

// Reads the regions one after another, each on its own, so that the engine never runs a line
// across a gutter; glyph boxes are turned from the padded image back into page pixels.
bool readRegions(tesseract::TessBaseAPI &api, const QImage &gray, const QList<QRect> &regions,
                 QPoint toPage, int margin, const volatile int *cancel,
                 qen::ocr::TextLayer &layer) {
    tesseract::ETEXT_DESC monitor;
    if (cancel) {
        monitor.cancel = [](void *flag, int) {
            return *static_cast<const volatile int *>(flag) != 0;
        };
        monitor.cancel_this = const_cast<int *>(cancel);
    }
    using qen::ocr::Glyph;
    QList<Glyph> line;
    auto flush = [&] {
        if (line.isEmpty())
            return;
        const bool block = line.first().blockStart;
        qen::ocr::tidyGlyphLine(line);
        for (qsizetype i = 0; i < line.size(); ++i) {
            line[i].lineStart = i == 0;
            line[i].blockStart = i == 0 && block;
            layer.append(line[i]);
        }
        line.clear();
    };
    for (const QRect &region : regions) {
        const QRect r = region.adjusted(-margin / 2, -margin / 2, margin / 2, margin / 2)
                            .intersected(gray.rect());
        api.SetRectangle(r.x(), r.y(), r.width(), r.height());
        if (cancel && *cancel)
            return false;
        const int failed = api.Recognize(&monitor);
        if (cancel && *cancel)
            return false;
        if (failed)
            continue;
        std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
        if (!it)
            continue;
        bool regionStart = true;
        do {
            if (it->Empty(tesseract::RIL_SYMBOL))
                continue;
            const bool lineStart = it->IsAtBeginningOf(tesseract::RIL_TEXTLINE);
            if (lineStart)
                flush();
            std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_SYMBOL));
            int left = 0, top = 0, right = 0, bottom = 0;
            if (!text || !it->BoundingBox(tesseract::RIL_SYMBOL, &left, &top, &right, &bottom))
                continue;
            Glyph g;
            g.text = QString::fromUtf8(text.get());
            g.box = QRect(left - margin + toPage.x(), top - margin + toPage.y(), right - left,
                          bottom - top);
            g.confidence = qRound(it->Confidence(tesseract::RIL_SYMBOL));
            g.lineStart = lineStart || line.isEmpty();
            g.blockStart = regionStart || it->IsAtBeginningOf(tesseract::RIL_PARA);
            g.blankBefore = !g.lineStart && it->IsAtBeginningOf(tesseract::RIL_WORD);
            line << g;
            regionStart = false;
        } while (it->Next(tesseract::RIL_SYMBOL));
        flush();
    }
    return true;
}

int readPage(QenOcrPageEngine &engine, const QenOcrPageRequest &request, QByteArray *layout,
             char *message, int size) {
    QImage image;
    try {
        image = qen::ImageDocument::readFile(QString::fromUtf8(request.imagePath));
    } catch (const qen::Error &e) {
        setMessage(message, size, e.description());
        return QEN_OCR_BAD_IMAGE;
    }
    const int dpi = resolutionOf(image);
    qen::ocr::TextLayer layer(image.size(), dpi);
    if (image.width() > qen::ocr::TextLayer::MaxSide ||
        image.height() > qen::ocr::TextLayer::MaxSide) {
        setMessage(message, size,
                   QStringLiteral("页面过大（%1×%2 像素），无法识别。")
                       .arg(image.width())
                       .arg(image.height()));
        return QEN_OCR_IMAGE_TOO_LARGE;
    }
    const bool area = request.areaWidth > 0 && request.areaHeight > 0;
    QPoint origin;
    if (area) {
        const QRect r = QRect(request.areaX, request.areaY, request.areaWidth, request.areaHeight)
                            .intersected(image.rect());
        origin = r.topLeft();
        image = r.isEmpty() ? QImage() : image.copy(r);
    }
    if (!image.isNull() && image.width() >= MinSide && image.height() >= MinSide) {
        if (image.width() > MaxSide || image.height() > MaxSide ||
            qint64(image.width()) * image.height() > MaxPixels) {
            setMessage(message, size,
                       QStringLiteral("页面过大（%1×%2 像素），无法识别。")
                           .arg(image.width())
                           .arg(image.height()));
            return QEN_OCR_IMAGE_TOO_LARGE;
        }
        qen::ocr::PageInk ink;
        const QImage gray = paddedGray(image, dpi, &ink);
        image = QImage();
        if (gray.isNull()) {
            setMessage(message, size, QStringLiteral("内存不足，无法识别这一页"));
            return QEN_OCR_ENGINE_FAILED;
        }
        const QList<QRect> regions = qen::ocr::readingRegions(gray, ink);
        tesseract::TessBaseAPI &api = *engine.api;
        singleThreaded();
        api.SetPageSegMode(area ? tesseract::PSM_SINGLE_BLOCK : tesseract::PSM_AUTO);
        api.SetImage(gray.constBits(), gray.width(), gray.height(), 1, int(gray.bytesPerLine()));
        api.SetSourceResolution(dpi);
        const bool whole =
            readRegions(api, gray, regions, origin, paddingFor(dpi), request.cancel, layer);
        api.Clear();
        if (!whole) {
            setMessage(message, size, QStringLiteral("识别已取消"));
            return QEN_OCR_CANCELLED;
        }
    }
    *layout = layer.toBytes();
    return QEN_OCR_OK;
}

int readPageEntry(QenOcrPageEngine *engine, const QenOcrPageRequest *request,
                  unsigned char **layout, int *layoutSize, char *message, int size) {
    setMessage(message, size, QString());
    if (!engine || !request || request->structSize < int(sizeof(QenOcrPageRequest)) ||
        !request->imagePath || !*request->imagePath || !layout || !layoutSize) {
        setMessage(message, size, QStringLiteral("识别请求不完整"));
        return QEN_OCR_BAD_REQUEST;
    }
    *layout = nullptr;
    *layoutSize = 0;
    try {
        QByteArray bytes;
        const int status = readPage(*engine, *request, &bytes, message, size);
        if (status != QEN_OCR_OK)
            return status;
        auto *out = static_cast<unsigned char *>(std::malloc(size_t(bytes.size())));
        if (!out)
            throw std::bad_alloc();
        std::memcpy(out, bytes.constData(), size_t(bytes.size()));
        *layout = out;
        *layoutSize = int(bytes.size());
        return QEN_OCR_OK;
    } catch (const std::bad_alloc &) {
        engine->api->Clear();
        setMessage(message, size, QStringLiteral("内存不足，无法识别这一页"));
        return QEN_OCR_ENGINE_FAILED;
    }
}

void freeLayout(unsigned char *layout) {
    std::free(layout);
}

void closePageEngine(QenOcrPageEngine *engine) {
    delete engine;
}

} // namespace

extern "C" __attribute__((visibility("default"))) const QenOcrPageApi *qen_ocr_page_api() {
    static const QenOcrPageApi api{int(sizeof(QenOcrPageApi)),
                                   pageEngineVersion(),
                                   openPageEngine,
                                   readPageEntry,
                                   freeLayout,
                                   closePageEngine};
    return &api;
}

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
