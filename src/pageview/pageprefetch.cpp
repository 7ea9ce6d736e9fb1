#include "pageview/pageprefetch.h"

#include "articles/imagedocument.h"
#include "pageview/viewgeometry.h"
#include "platform/error.h"

#include <QFile>
#include <QThreadPool>
#include <QTimer>

#include <sys/stat.h>

namespace qen {

PagePrefetch::PagePrefetch()
    : m_pool(std::make_unique<QThreadPool>()), m_timerContext(std::make_unique<QObject>()) {
    // One reader: the user waits for one page at a time, and a second core is better left to
    // the window.
    m_pool->setMaxThreadCount(1);
}

PagePrefetch::~PagePrefetch() {
    clear();
    m_pool->waitForDone();
}

// QFileInfo would give the time in local time, and the conversion costs more than the rest of
// a page turn's checks; the change check only needs the raw time.
PagePrefetch::FileStamp PagePrefetch::stampOf(const QString &path) {
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, qint64(st.st_size)};
}

namespace {

render::RenderedViewport request(render::RenderedViewport viewport) {
    viewport.image = QImage();
    return viewport;
}

bool sameRequest(const render::RenderedViewport &a, const render::RenderedViewport &b) {
    return a.zoom == b.zoom && a.smooth == b.smooth && a.rect == b.rect;
}

QImage readPage(const QString &path) {
    try {
        // One too large to hold whole is read in parts by the view; reading it whole here
        // would take its file's bytes only to refuse them.
        if (LargePage::needed(path))
            return {};
        return ImageDocument::readFile(path);
    } catch (const Error &) {
        // Showing the page reads it again and reports the error then.
    } catch (const std::bad_alloc &) {
    }
    return {};
}

// Makes the page's half-size copy first when the viewport is drawn from it: here it costs
// the window nothing, and the view keeps it for the page's later zooms.
render::RenderedViewport renderViewport(const QImage &image, const render::RenderedViewport &wanted,
                                        QImage &half) {
    render::RenderedViewport out;
    if (!(wanted.zoom > 0) || image.isNull())
        return out;
    if (half.isNull() && render::drawsFromHalf(image, wanted.zoom, wanted.smooth))
        half = render::halfSize(image);
    out = wanted;
    out.rect = wanted.rect & QRect(QPoint(0, 0), viewgeom::scaledSize(image.size(), wanted.zoom));
    try {
        out.image = render::scaledPart(image, wanted.zoom, out.rect, wanted.smooth,
                                       render::outputFormat(image), &half);
    } catch (const std::bad_alloc &) {
        return {}; // the paint renders it then
    }
    return out;
}

} // namespace

void PagePrefetch::prefetch(const QStringList &paths, const render::RenderedViewport &viewport) {
    QMutexLocker lock(&m_mutex);
    m_viewport = request(viewport);
    // Keep what is already held or under way for a file still wanted.
    QList<Entry> kept;
    QStringList wanted;
    for (const QString &path : paths) {
        if (path.isEmpty() || wanted.contains(path))
            continue;
        wanted << path;
        const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                     [&](const Entry &e) { return e.path == path; });
        if (it != m_entries.end())
            kept << *it;
    }
    // Queued reads of dropped files find nothing to do when their turn comes.
    release(std::exchange(m_entries, kept));
    bool startLater = false;
    for (Entry &e : m_entries)
        if (e.done && !e.page.image.isNull() && !sameRequest(e.renderedFor, m_viewport))
            start(e);
    for (const QString &path : wanted) {
        if (std::any_of(m_entries.begin(), m_entries.end(),
                        [&](const Entry &e) { return e.path == path; }))
            continue;
        m_entries << Entry{path, {}, false, false, {}, {}};
        startLater = true;
    }
    if (startLater)
        QTimer::singleShot(0, m_timerContext.get(), [this] {
            QMutexLocker lock(&m_mutex);
            startWaiting();
        });
}

// Giving a page's memory back to the system makes every core flush its address cache, which
// the window would feel in the middle of a page turn: the reader thread does it instead.
void PagePrefetch::release(QList<Entry> entries) {
    if (!entries.isEmpty())
        m_pool->start([entries = std::move(entries)]() mutable { entries.clear(); });
}

void PagePrefetch::startWaiting() {
    for (Entry &e : m_entries)
        if (!e.started)
            start(e);
}

void PagePrefetch::setViewport(const render::RenderedViewport &viewport) {
    QMutexLocker lock(&m_mutex);
    if (sameRequest(m_viewport, viewport))
        return;
    m_viewport = request(viewport);
    // A page still being read renders the new viewport when its read is done.
    for (Entry &e : m_entries)
        if (e.done && !e.page.image.isNull() && !sameRequest(e.renderedFor, m_viewport))
            start(e);
}

void PagePrefetch::start(Entry &entry) {
    entry.started = true;
    entry.done = false;
    ++m_running;
    m_pool->start([this, path = entry.path] { work(path); });
}

PagePrefetch::Entry *PagePrefetch::pending(const QString &path) {
    const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                 [&](const Entry &e) { return e.path == path && !e.done; });
    return it == m_entries.end() ? nullptr : &*it;
}

void PagePrefetch::work(const QString &path) {
    QImage image, half;
    bool haveImage = false;
    bool readHere = false;
    FileStamp stamp;
    Page page;
    render::RenderedViewport renderedFor;
    bool rendered = false;
    for (;;) {
        render::RenderedViewport wanted;
        {
            QMutexLocker lock(&m_mutex);
            Entry *e = pending(path);
            // Done when the file is no longer wanted, or what was rendered is still the
            // viewport asked for (the view may have zoomed while the page was read).
            if (!e || (rendered && (page.image.isNull() || sameRequest(renderedFor, m_viewport)))) {
                if (e) {
                    e->done = true;
                    e->page = page;
                    e->renderedFor = renderedFor;
                    if (readHere) {
                        e->stamp = stamp;
                    }
                }
                --m_running;
                m_changed.wakeAll();
                return;
            }
            if (!haveImage && !e->page.image.isNull()) { // held: only its viewport is stale
                image = e->page.image;
                half = e->page.half;
                haveImage = true;
            }
            wanted = m_viewport;
        }
        if (!haveImage) {
            // Taken before the read: a file changed while it is read no longer matches.
            stamp = stampOf(path);
            image = readPage(path);
            haveImage = readHere = true;
        }
        page.viewport = renderViewport(image, wanted, half);
        page.image = image;
        page.half = half;
        renderedFor = wanted;
        rendered = true;
    }
}

std::optional<PagePrefetch::Page> PagePrefetch::take(const QString &path) {
    QMutexLocker lock(&m_mutex);
    for (;;) {
        const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                     [&](const Entry &e) { return e.path == path; });
        if (it == m_entries.end())
            return std::nullopt;
        if (!it->started) { // not begun: reading it here costs the same
            m_entries.erase(it);
            return std::nullopt;
        }
        if (!it->done) {
            m_changed.wait(&m_mutex);
            continue;
        }
        Entry entry = *it;
        m_entries.erase(it);
        lock.unlock();
        if (entry.page.image.isNull() || stampOf(path) != entry.stamp)
            return std::nullopt;
        return entry.page;
    }
}

void PagePrefetch::clear() {
    QMutexLocker lock(&m_mutex);
    release(std::exchange(m_entries, {}));
}

bool PagePrefetch::reading() const {
    QMutexLocker lock(&m_mutex);
    return m_running > 0 ||
           std::any_of(m_entries.begin(), m_entries.end(), [](const Entry &e) { return !e.done; });
}

bool PagePrefetch::holds(const QString &path) const {
    QMutexLocker lock(&m_mutex);
    return std::any_of(m_entries.begin(), m_entries.end(), [&](const Entry &e) {
        return e.path == path && e.done && !e.page.image.isNull();
    });
}

void PagePrefetch::waitForIdle() {
    QMutexLocker lock(&m_mutex);
    startWaiting();
    while (m_running > 0)
        m_changed.wait(&m_mutex);
}

int PagePrefetch::heldCount() const {
    QMutexLocker lock(&m_mutex);
    return int(std::count_if(m_entries.begin(), m_entries.end(),
                             [](const Entry &e) { return e.done && !e.page.image.isNull(); }));
}

} // namespace qen
