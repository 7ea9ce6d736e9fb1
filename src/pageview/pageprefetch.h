#pragma once

#include "pageview/viewportcache.h"

#include <QImage>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QWaitCondition>
#include <memory>
#include <optional>

class QThreadPool;

namespace qen {

// Reads the pages next to the shown one in a background thread, so that turning to them
// costs a copy instead of a decode. It holds at most the files last asked for (the previous
// and the next page), drops them when asked for others, and never makes the caller wait
// except for a page that is already being read (reading it again would take longer).
//
// Reading starts from the event loop, once the page just shown has been painted: a reader
// that starts at once shares the processor with that paint on a machine with few cores.
class PagePrefetch {
public:
    PagePrefetch();
    ~PagePrefetch();
    PagePrefetch(const PagePrefetch &) = delete;
    PagePrefetch &operator=(const PagePrefetch &) = delete;

    struct Page {
        QImage image;
        render::RenderedViewport viewport; // null unless a viewport was asked for
        // render::halfSize(image), made when the viewport asked for is drawn from it.
        QImage half;
    };
    // Starts reading these files (from the event loop, or at the latest in waitForIdle());
    // anything held or queued for other files is dropped. With a viewport (its zoom,
    // smoothing and rect, image left null), the part of each page it shows is rendered too.
    void prefetch(const QStringList &paths, const render::RenderedViewport &viewport = {});
    // The view's zoom, mode or size changed: the pages held or being read are rendered again
    // for the new viewport (from the page already read), so the next turn still paints a copy.
    void setViewport(const render::RenderedViewport &viewport);
    // The page read for path, if it was asked for and read without error and the file has not
    // changed since. It is handed over once. A read not yet begun is dropped (the caller
    // reads the page itself, which costs the same).
    std::optional<Page> take(const QString &path);
    // Drops everything (a new article, close-all).
    void clear();
    // Whether the page for path has been read and waits to be taken (a turn that costs a copy).
    bool holds(const QString &path) const;
    // Whether a page is being read, or waits for the event loop to be: it takes a core.
    bool reading() const;
    // Starts what waits for the event loop and waits until no read is running, for tests
    // and measurements.
    void waitForIdle();
    int heldCount() const;

private:
    // When a file was last written, to the nanosecond, and its size.
    struct FileStamp {
        qint64 modifiedNs = -1, size = -1;
        bool operator==(const FileStamp &) const = default;
    };
    static FileStamp stampOf(const QString &path);

    struct Entry {
        QString path;
        FileStamp stamp; // the file as it was read
        bool done = false;
        bool started = false;
        Page page;
        render::RenderedViewport renderedFor; // what page.viewport was asked as, image null
    };
    Entry *pending(const QString &path);
    // Reads a page (or takes the one held), then renders it until what it rendered is the
    // viewport still wanted.
    void work(const QString &path);
    void start(Entry &entry);
    void release(QList<Entry> entries);
    void startWaiting();

    mutable QMutex m_mutex;
    QWaitCondition m_changed;
    QList<Entry> m_entries;
    render::RenderedViewport m_viewport; // the one wanted, image null
    int m_running = 0;
    std::unique_ptr<QThreadPool> m_pool;
    std::unique_ptr<QObject> m_timerContext; // cancels a pending start when this goes
};

} // namespace qen
