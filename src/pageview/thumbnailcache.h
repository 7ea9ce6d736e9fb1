#pragma once

#include <QImage>
#include <QMutex>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QWaitCondition>
#include <memory>
#include <vector>

class QThreadPool;

namespace qen {

// Small pictures of one article's pages, made on background threads for the thumbnail strip.
// The pages on screen are made first, then their neighbours outwards, as far as the cache
// holds; what drifts out of that window is dropped again, so an article of thousands of pages
// costs memory for a few hundred pictures at most.
//
// The threads run at a nicer priority than the window's: the window and the page read ahead
// come first, so a page turn never waits for a thumbnail.
class ThumbnailCache : public QObject {
    Q_OBJECT
public:
    // A thumbnail's pixels never take more than this.
    static constexpr qint64 MaxBytes = 64 * 1024;
    enum class State { Waiting, Ready, Failed };

    // At most `capacity` pictures are held; `workers` threads make them (0: one a core).
    explicit ThumbnailCache(int capacity = 256, int workers = 0, QObject *parent = nullptr);
    ~ThumbnailCache() override;

    // A new article: its page files in page order. Everything made or asked for the last one
    // is dropped, and a picture still being made for it is thrown away when done.
    void setPages(const QStringList &paths);
    // A page's file moved (a WWP page decoded to TIFF); its picture stays.
    void setPath(int index, const QString &path);
    // The largest picture, in device pixels, and the screen's device pixel ratio it is for. A
    // change drops the pictures made at the old size.
    void setBox(QSize devicePixels, qreal devicePixelRatio);
    // The pages on screen (0-based, inclusive); an empty range (last < first) asks for nothing,
    // as while the strip is hidden.
    void setVisible(int first, int last);
    // Forgets the article (close-all).
    void clear() { setPages({}); }

    int count() const;
    State state(int index) const;
    QImage image(int index) const; // null unless Ready
    qint64 heldBytes() const;
    int heldCount() const;
    // Waits until no picture is being made, for tests and measurements.
    void waitForIdle();

    // One page's picture, fitted into box (device pixels) and within MaxBytes: gray for
    // bilevel and gray pages, 24-bit colour otherwise. Null when the page cannot be read.
    static QImage render(const QString &path, QSize box);

signals:
    // A page's picture is ready or failed (emitted on a worker thread).
    void changed(int index);

private:
    struct Slot {
        QString path;
        QImage image;
        State state = State::Waiting;
        bool busy = false;
    };
    int nextJob() const; // under the lock; -1 when nothing is wanted
    void window(int *lo, int *hi) const;
    void dropOutside();
    void startWorkers();
    void work();

    mutable QMutex m_mutex;
    QWaitCondition m_idle;
    std::vector<Slot> m_slots;
    int m_first = 0, m_last = -1;
    int m_capacity;
    QSize m_box{96, 136};
    qreal m_dpr = 1;
    quint64 m_generation = 0;
    int m_running = 0;
    int m_workers = 1;
    std::unique_ptr<QThreadPool> m_pool;
};

} // namespace qen
