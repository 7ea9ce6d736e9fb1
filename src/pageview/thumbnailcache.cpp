#include "pageview/thumbnailcache.h"

#include "articles/imagedocument.h"
#include "articles/wwp.h"
#include "pageview/pagerender.h"
#include "pageview/viewgeometry.h"
#include "platform/backgroundthread.h"
#include "platform/error.h"
#include "platform/filehelpers.h"

#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>

#include <algorithm>

namespace qen {

namespace {

int bytesPerLine(int width, int bytesPerPixel) {
    return (width * bytesPerPixel + 3) / 4 * 4; // QImage rows are 32-bit aligned
}

// The zoom that fits the page into the box without enlarging it, and keeps the picture
// within MaxBytes.
double fittingZoom(QSize page, QSize box, int bytesPerPixel) {
    double zoom =
        std::min({1.0, double(box.width()) / page.width(), double(box.height()) / page.height()});
    for (;;) {
        const QSize size = viewgeom::scaledSize(page, zoom);
        if (qint64(bytesPerLine(size.width(), bytesPerPixel)) * size.height() <=
            ThumbnailCache::MaxBytes)
            return zoom;
        zoom *= 0.97;
    }
}

QImage readReduced(const QString &path, QSize box) {
    try {
        QString error;
        // A page too large to hold whole gives its overview, which no thumbnail outgrows.
        if (LargePage::needed(path)) {
            const auto large = LargePage::open(path, &error);
            return large ? large->overview() : QImage();
        }
        return ImageDocument::decodeReduced(ImageDocument::readBytes(path), box, &error);
    } catch (const Error &) {
    } catch (const std::bad_alloc &) {
    }
    return {};
}

} // namespace

QImage ThumbnailCache::render(const QString &path, QSize box) {
    if (box.isEmpty())
        return {};
    QImage page;
    if (GetFileExt(path).toUpper() == QLatin1String("WWP")) {
        QTemporaryDir scratch;
        const QString tiff = WwpDecoder::decodeWrappedInto(path, scratch);
        if (!tiff.isEmpty())
            page = readReduced(tiff, box);
    } else {
        page = readReduced(path, box);
    }
    if (page.isNull())
        return {};
    const bool gray = render::outputFormat(page) == QImage::Format_Grayscale8;
    const double zoom = fittingZoom(page.size(), box, gray ? 1 : 3);
    try {
        QImage out = render::scaledPart(
            page, zoom, QRect(QPoint(0, 0), viewgeom::scaledSize(page.size(), zoom)), true);
        if (!gray)
            out = out.convertToFormat(QImage::Format_RGB888);
        return out;
    } catch (const std::bad_alloc &) {
        return {};
    }
}

ThumbnailCache::ThumbnailCache(int capacity, int workers, QObject *parent)
    : QObject(parent), m_capacity(std::max(1, capacity)), m_pool(std::make_unique<QThreadPool>()) {
    // At a nicer priority the pictures take what the window leaves, so each core may have one.
    m_workers = workers > 0 ? workers : std::max(1, QThread::idealThreadCount());
    m_pool->setMaxThreadCount(m_workers);
}

ThumbnailCache::~ThumbnailCache() {
    clear();
    m_pool->waitForDone();
}

void ThumbnailCache::setPages(const QStringList &paths) {
    std::vector<Slot> old;
    {
        QMutexLocker lock(&m_mutex);
        ++m_generation;
        old.swap(m_slots);
        m_slots.resize(size_t(paths.size()));
        for (qsizetype i = 0; i < paths.size(); ++i)
            m_slots[size_t(i)].path = paths[i];
        m_first = 0;
        m_last = -1;
    }
    // The old pictures go outside the lock: a worker finishing meanwhile need not wait.
    old.clear();
}

void ThumbnailCache::setPath(int index, const QString &path) {
    QMutexLocker lock(&m_mutex);
    if (index >= 0 && index < int(m_slots.size()))
        m_slots[size_t(index)].path = path;
}

void ThumbnailCache::setBox(QSize devicePixels, qreal devicePixelRatio) {
    {
        QMutexLocker lock(&m_mutex);
        if (devicePixels == m_box && devicePixelRatio == m_dpr)
            return;
        m_box = devicePixels;
        m_dpr = devicePixelRatio;
        ++m_generation; // a picture under way is for the old size
        for (Slot &s : m_slots)
            s = Slot{s.path, {}, State::Waiting, false};
    }
    startWorkers();
}

void ThumbnailCache::setVisible(int first, int last) {
    {
        QMutexLocker lock(&m_mutex);
        m_first = std::max(0, first);
        m_last = std::min(last, int(m_slots.size()) - 1);
        dropOutside();
    }
    startWorkers();
}

// The pages the cache holds pictures for: the visible ones and as many around them as fit.
void ThumbnailCache::window(int *lo, int *hi) const {
    const int count = int(m_slots.size());
    const int spare = std::max(0, m_capacity - (m_last - m_first + 1));
    *lo = std::max(0, m_first - spare / 2);
    *hi = std::min(count - 1, *lo + m_capacity - 1);
    *lo = std::max(0, std::min(*lo, *hi - m_capacity + 1));
}

void ThumbnailCache::dropOutside() {
    if (m_last < m_first)
        return; // nothing on screen: the pictures held may be wanted again
    int lo = 0, hi = 0;
    window(&lo, &hi);
    for (int i = 0; i < int(m_slots.size()); ++i)
        if ((i < lo || i > hi) && m_slots[size_t(i)].state == State::Ready)
            m_slots[size_t(i)] = Slot{m_slots[size_t(i)].path, {}, State::Waiting, false};
}

int ThumbnailCache::nextJob() const {
    if (m_last < m_first)
        return -1;
    const auto wanted = [&](int i) {
        const Slot &s = m_slots[size_t(i)];
        return s.state == State::Waiting && !s.busy;
    };
    for (int i = m_first; i <= m_last; ++i)
        if (wanted(i))
            return i;
    int lo = 0, hi = 0;
    window(&lo, &hi);
    // Outwards from what is on screen, the page after it first: reading goes forwards.
    for (int d = 1; m_last + d <= hi || m_first - d >= lo; ++d) {
        if (m_last + d <= hi && wanted(m_last + d))
            return m_last + d;
        if (m_first - d >= lo && wanted(m_first - d))
            return m_first - d;
    }
    return -1;
}

void ThumbnailCache::startWorkers() {
    QMutexLocker lock(&m_mutex);
    while (m_running < m_workers && nextJob() >= 0) {
        ++m_running;
        m_pool->start([this] { work(); });
    }
}

void ThumbnailCache::work() {
    yieldToForeground();
    for (;;) {
        QString path;
        QSize box;
        qreal dpr = 1;
        quint64 generation = 0;
        int index = -1;
        {
            QMutexLocker lock(&m_mutex);
            index = nextJob();
            if (index < 0) {
                --m_running;
                m_idle.wakeAll();
                return;
            }
            Slot &slot = m_slots[size_t(index)];
            slot.busy = true;
            path = slot.path;
            box = m_box;
            dpr = m_dpr;
            generation = m_generation;
        }
        QImage image = render(path, box);
        image.setDevicePixelRatio(dpr);
        {
            QMutexLocker lock(&m_mutex);
            if (generation != m_generation)
                continue; // made for an article or a size no longer shown
            Slot &slot = m_slots[size_t(index)];
            slot.busy = false;
            slot.state = image.isNull() ? State::Failed : State::Ready;
            slot.image = std::move(image);
        }
        emit changed(index);
    }
}

int ThumbnailCache::count() const {
    QMutexLocker lock(&m_mutex);
    return int(m_slots.size());
}

ThumbnailCache::State ThumbnailCache::state(int index) const {
    QMutexLocker lock(&m_mutex);
    return index >= 0 && index < int(m_slots.size()) ? m_slots[size_t(index)].state
                                                     : State::Waiting;
}

QImage ThumbnailCache::image(int index) const {
    QMutexLocker lock(&m_mutex);
    return index >= 0 && index < int(m_slots.size()) ? m_slots[size_t(index)].image : QImage();
}

qint64 ThumbnailCache::heldBytes() const {
    QMutexLocker lock(&m_mutex);
    qint64 bytes = 0;
    for (const Slot &s : m_slots)
        bytes += s.image.sizeInBytes();
    return bytes;
}

int ThumbnailCache::heldCount() const {
    QMutexLocker lock(&m_mutex);
    return int(std::count_if(m_slots.begin(), m_slots.end(),
                             [](const Slot &s) { return !s.image.isNull(); }));
}

void ThumbnailCache::waitForIdle() {
    QMutexLocker lock(&m_mutex);
    while (m_running > 0)
        m_idle.wait(&m_mutex);
}

} // namespace qen
