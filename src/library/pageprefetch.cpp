#include "library/pageprefetch.h"

#include "library/imagedocument.h"
#include "library/viewgeometry.h"
#include "platform/error.h"

#include <QFileInfo>
#include <QThreadPool>

namespace qen {

PagePrefetch::PagePrefetch() : m_pool(std::make_unique<QThreadPool>()) {
    // One reader: the user waits for one page at a time, and a second core is better left to
    // the window.
    m_pool->setMaxThreadCount(1);
}

PagePrefetch::~PagePrefetch() {
    clear();
    m_pool->waitForDone();
}

void PagePrefetch::prefetch(const QStringList &paths, const render::RenderedViewport &viewport) {
    QMutexLocker lock(&m_mutex);
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
    m_entries = kept;
    for (const QString &path : wanted) {
        if (std::any_of(m_entries.begin(), m_entries.end(),
                        [&](const Entry &e) { return e.path == path; }))
            continue;
        const QFileInfo info(path);
        m_entries << Entry{path, info.lastModified(), info.size(), false, {}};
        ++m_running;
        m_pool->start([this, path, viewport] { read(path, viewport); });
    }
}

void PagePrefetch::read(const QString &path, const render::RenderedViewport &viewport) {
    Page page;
    {
        QMutexLocker lock(&m_mutex);
        if (!std::any_of(m_entries.begin(), m_entries.end(),
                         [&](const Entry &e) { return e.path == path && !e.done; })) {
            --m_running;
            m_changed.wakeAll();
            return;
        }
    }
    try {
        page.image = ImageDocument::readFile(path);
        if (viewport.zoom > 0 && !page.image.isNull()) {
            const QRect scaled(QPoint(0, 0),
                               viewgeom::scaledSize(page.image.size(), viewport.zoom));
            page.viewport = viewport;
            page.viewport.rect = viewport.rect & scaled;
            page.viewport.image =
                render::scaledPart(page.image, viewport.zoom, page.viewport.rect, viewport.smooth);
        }
    } catch (const Error &) {
        // Showing the page reads it again and reports the error then.
    } catch (const std::bad_alloc &) {
    }
    QMutexLocker lock(&m_mutex);
    --m_running;
    for (Entry &e : m_entries)
        if (e.path == path && !e.done) {
            e.done = true;
            e.page = page;
        }
    m_changed.wakeAll();
}

std::optional<PagePrefetch::Page> PagePrefetch::take(const QString &path) {
    QMutexLocker lock(&m_mutex);
    for (;;) {
        const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                     [&](const Entry &e) { return e.path == path; });
        if (it == m_entries.end())
            return std::nullopt;
        if (!it->done) {
            m_changed.wait(&m_mutex);
            continue;
        }
        Entry entry = *it;
        m_entries.erase(it);
        lock.unlock();
        const QFileInfo info(path);
        if (entry.page.image.isNull() || info.lastModified() != entry.modified ||
            info.size() != entry.size)
            return std::nullopt;
        return entry.page;
    }
}

void PagePrefetch::clear() {
    QMutexLocker lock(&m_mutex);
    m_entries.clear();
}

void PagePrefetch::waitForIdle() {
    QMutexLocker lock(&m_mutex);
    while (m_running > 0)
        m_changed.wait(&m_mutex);
}

int PagePrefetch::heldCount() const {
    QMutexLocker lock(&m_mutex);
    return int(std::count_if(m_entries.begin(), m_entries.end(),
                             [](const Entry &e) { return e.done && !e.page.image.isNull(); }));
}

} // namespace qen
