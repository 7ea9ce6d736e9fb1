#pragma once

#include "ocr/pagereader.h"
#include "ocr/textcache.h"
#include "ocr/textlayer.h"
#include "platform/workfolders.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The pages of the open articles, read in the background so that their text is there when
// the reader looks for it: on worker threads at a lowered priority, each with an engine of its
// own, the shown page first, then the rest of its article, then the other articles. Nothing
// here runs the engine on the thread that owns the queue, and results come back to it as
// queued calls.
namespace qen::ocr {

// Image pages, whose text can be recognised; records have theirs already.
bool isRecognisablePage(const QString &path);

class TextQueue : public QObject {
    Q_OBJECT
public:
    // max(1, cores - 1): one core stays with the window.
    static int defaultWorkers();
    // [Text] Background= in Setting/Qen.ini; on unless it is 0.
    static bool backgroundConfigured(const WorkFolders &folders);

    // The cache may be null: pages are then read every time they are opened.
    TextQueue(PageEngineLibrary &library, QString languages, std::unique_ptr<TextCache> cache,
              int workers, QObject *parent = nullptr);
    // Cancels the pages being read and returns once their threads have stopped, which the
    // engine does within a word or two.
    ~TextQueue() override;

    // Off: only pages asked for (the shown page) are read.
    void setBackground(bool on);
    bool background() const { return m_background; }
    const TextCache *cache() const { return m_cache.get(); }

    // An article and its image pages, in page order. An article already known is left as it is.
    void addArticle(const QString &article, const QStringList &pages);
    // Its pending pages are dropped and a page of it being read is cancelled.
    void removeArticle(const QString &article);
    void clear();
    // A page's file moved (a WWP page decoded to TIFF): it is known by its new path from now on.
    void renamePage(const QString &oldPath, const QString &newPath);
    // The page on screen goes first; with the background off it is the one page read.
    void setShownPage(const QString &page);

    // Pages a search or a text command waits for, in the order wanted: read right after the
    // shown page, even with the background off. A new list replaces the old one.
    void want(const QStringList &pages);

    // The page's layer once read; null before, and after its article closed. The pointer
    // holds until the event is handled: a long article keeps only the layers used last
    // unpacked (the shown page always), and a later call may pack this one.
    const TextLayer *layer(const QString &page) const;
    // How many layers are held unpacked at most; the rest are kept in their compact form.
    static constexpr int DefaultLayersHeld = 512;
    void setLayersHeld(int count);
    int layersUnpacked() const { return m_unpacked; }
    // Whether a page's reading ended without a layer (it cannot be recognised).
    bool failed(const QString &page) const;
    int readCount() const { return m_read; }
    int pageCount() const { return m_pageCount; }
    // "文字识别 3/12" while there are pages; empty when there are none.
    QString progressText() const;

signals:
    void pageRead(const QString &page);
    void pageFailed(const QString &page, const QString &message);
    void progressChanged();

private:
    enum class State { Pending, Reading, Read, Failed };
    struct Article {
        QString key;
        QStringList pages;
    };
    struct Job {
        QString article;
        QString page;
        volatile int cancel = 0;
    };
    struct Outcome;

    void work();
    // Under m_mutex: the next page to read, or null.
    std::shared_ptr<Job> takeNext();
    void deliver(const std::shared_ptr<Job> &job, const std::shared_ptr<Outcome> &outcome);
    int articleOf(const QString &page) const;
    void recount();

    PageEngineLibrary &m_library;
    const QString m_languages;
    const std::unique_ptr<TextCache> m_cache;

    mutable std::mutex m_mutex; // guards what the workers share with the owner's thread
    std::condition_variable m_wake;
    bool m_stop = false;
    bool m_background = true;
    std::vector<Article> m_articles;
    QHash<QString, State> m_state; // by page path
    QString m_shown;
    QStringList m_wanted;
    std::vector<std::shared_ptr<Job>> m_running;
    std::vector<std::thread> m_workers;

    // A layer in use, or packed (its compact form, compressed) when not used for a while:
    // an article of thousands of pages would otherwise hold tens of kilobytes a page.
    struct Held {
        std::shared_ptr<const TextLayer> layer;
        QByteArray packed;
        quint64 used = 0;
    };
    void hold(const QString &page, std::shared_ptr<const TextLayer> layer);
    void dropLayer(const QString &page);
    void packUnused() const;

    // The owner's thread alone.
    mutable QHash<QString, Held> m_layers;
    mutable quint64 m_clock = 0;
    mutable int m_unpacked = 0;
    int m_layersHeld = DefaultLayersHeld;
    int m_read = 0;
    int m_pageCount = 0;
};

} // namespace qen::ocr
