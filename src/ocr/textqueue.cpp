#include "ocr/textqueue.h"

#include "articles/wwp.h"
#include "ocr/engine/qenocr.h"
#include "platform/backgroundthread.h"
#include "platform/filehelpers.h"
#include "platform/profilestring.h"

#include <QTemporaryDir>
#include <QThread>
#include <algorithm>

namespace qen::ocr {

struct TextQueue::Outcome {
    PageReading reading;
};

int TextQueue::defaultWorkers() {
    return std::max(1, QThread::idealThreadCount() - 1);
}

bool TextQueue::backgroundConfigured(const WorkFolders &folders) {
    return GetPrivateProfileString(QStringLiteral("Text"), QStringLiteral("Background"), QString(),
                                   16, folders.setting() + QStringLiteral("/Qen.ini"))
               .trimmed() != QLatin1String("0");
}

bool isRecognisablePage(const QString &path) {
    static const QStringList types{QStringLiteral("WWP"),  QStringLiteral("TIF"),
                                   QStringLiteral("TIFF"), QStringLiteral("JPG"),
                                   QStringLiteral("JPEG"), QStringLiteral("GIF"),
                                   QStringLiteral("BMP"),  QStringLiteral("PNG")};
    return types.contains(GetFileExt(path).toUpper());
}

TextQueue::TextQueue(PageEngineLibrary &library, QString languages,
                     std::unique_ptr<TextCache> cache, int workers, QObject *parent)
    : QObject(parent), m_library(library), m_languages(std::move(languages)),
      m_cache(std::move(cache)) {
    for (int i = 0; i < std::max(1, workers); ++i)
        m_workers.emplace_back([this] { work(); });
}

TextQueue::~TextQueue() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        for (const std::shared_ptr<Job> &job : m_running)
            job->cancel = 1;
    }
    m_wake.notify_all();
    for (std::thread &t : m_workers)
        t.join();
}

void TextQueue::setBackground(bool on) {
    {
        std::lock_guard lock(m_mutex);
        m_background = on;
    }
    m_wake.notify_all();
}

void TextQueue::addArticle(const QString &article, const QStringList &pages) {
    {
        std::lock_guard lock(m_mutex);
        if (std::any_of(m_articles.begin(), m_articles.end(),
                        [&](const Article &a) { return a.key == article; }))
            return;
        m_articles.push_back({article, pages});
        for (const QString &p : pages)
            m_state.insert(p, State::Pending);
    }
    recount();
    m_wake.notify_all();
}

void TextQueue::removeArticle(const QString &article) {
    {
        std::lock_guard lock(m_mutex);
        const auto it = std::find_if(m_articles.begin(), m_articles.end(),
                                     [&](const Article &a) { return a.key == article; });
        if (it == m_articles.end())
            return;
        for (const QString &p : it->pages) {
            m_state.remove(p);
            dropLayer(p);
        }
        m_articles.erase(it);
        for (const std::shared_ptr<Job> &job : m_running) {
            if (job->article == article)
                job->cancel = 1;
        }
    }
    recount();
}

void TextQueue::clear() {
    {
        std::lock_guard lock(m_mutex);
        m_articles.clear();
        m_state.clear();
        m_shown.clear();
        m_wanted.clear();
        for (const std::shared_ptr<Job> &job : m_running)
            job->cancel = 1;
    }
    m_layers.clear();
    m_unpacked = 0;
    recount();
}

void TextQueue::renamePage(const QString &oldPath, const QString &newPath) {
    std::lock_guard lock(m_mutex);
    const auto state = m_state.constFind(oldPath);
    if (state == m_state.constEnd() || oldPath == newPath)
        return;
    // A page being read under its old name is finished under it, then renamed on delivery.
    if (*state == State::Reading)
        return;
    const State s = *state;
    m_state.remove(oldPath);
    m_state.insert(newPath, s);
    for (Article &a : m_articles) {
        for (QString &p : a.pages) {
            if (p == oldPath)
                p = newPath;
        }
    }
    if (m_layers.contains(oldPath))
        m_layers.insert(newPath, m_layers.take(oldPath));
    if (m_shown == oldPath)
        m_shown = newPath;
}

void TextQueue::setShownPage(const QString &page) {
    {
        std::lock_guard lock(m_mutex);
        m_shown = page;
    }
    m_wake.notify_all();
}

void TextQueue::want(const QStringList &pages) {
    {
        std::lock_guard lock(m_mutex);
        m_wanted = pages;
    }
    m_wake.notify_all();
}

bool TextQueue::failed(const QString &page) const {
    std::lock_guard lock(m_mutex);
    return m_state.value(page, State::Pending) == State::Failed;
}

const TextLayer *TextQueue::layer(const QString &page) const {
    const auto it = m_layers.find(page);
    if (it == m_layers.end())
        return nullptr;
    it->used = ++m_clock;
    if (!it->layer) {
        std::optional<TextLayer> unpacked = TextLayer::fromBytes(qUncompress(it->packed));
        if (!unpacked)
            return nullptr; // cannot happen with our own bytes; never trusted all the same
        it->layer = std::make_shared<const TextLayer>(std::move(*unpacked));
        it->packed.clear();
        ++m_unpacked;
        const TextLayer *out = it->layer.get();
        packUnused();
        return out;
    }
    return it->layer.get();
}

void TextQueue::setLayersHeld(int count) {
    m_layersHeld = std::max(1, count);
    packUnused();
}

void TextQueue::hold(const QString &page, std::shared_ptr<const TextLayer> layer) {
    dropLayer(page);
    m_layers.insert(page, {std::move(layer), {}, ++m_clock});
    ++m_unpacked;
    packUnused();
}

void TextQueue::dropLayer(const QString &page) {
    const auto it = m_layers.constFind(page);
    if (it == m_layers.constEnd())
        return;
    m_unpacked -= it->layer ? 1 : 0;
    m_layers.erase(it);
}

// The least recently used layers beyond the bound are packed; the shown page stays as it is,
// since the text tool works on it from event to event.
void TextQueue::packUnused() const {
    QString shown;
    {
        std::lock_guard lock(m_mutex);
        shown = m_shown;
    }
    while (m_unpacked > m_layersHeld) {
        auto oldest = m_layers.end();
        for (auto it = m_layers.begin(); it != m_layers.end(); ++it) {
            if (it->layer && it.key() != shown &&
                (oldest == m_layers.end() || it->used < oldest->used))
                oldest = it;
        }
        if (oldest == m_layers.end())
            return;
        oldest->packed = qCompress(oldest->layer->toBytes(), 1);
        oldest->layer.reset();
        --m_unpacked;
    }
}

QString TextQueue::progressText() const {
    return m_pageCount ? QStringLiteral("文字识别 %1/%2").arg(m_read).arg(m_pageCount) : QString();
}

int TextQueue::articleOf(const QString &page) const {
    for (size_t i = 0; i < m_articles.size(); ++i) {
        if (m_articles[i].pages.contains(page))
            return int(i);
    }
    return -1;
}

std::shared_ptr<TextQueue::Job> TextQueue::takeNext() {
    auto take = [&](const QString &article, const QString &page) {
        auto job = std::make_shared<Job>();
        job->article = article;
        job->page = page;
        m_state[page] = State::Reading;
        m_running.push_back(job);
        return job;
    };
    const int shownArticle = m_shown.isEmpty() ? -1 : articleOf(m_shown);
    if (shownArticle >= 0 && m_state.value(m_shown) == State::Pending)
        return take(m_articles[size_t(shownArticle)].key, m_shown);
    for (const QString &page : std::as_const(m_wanted)) {
        const int article = articleOf(page);
        if (article >= 0 && m_state.value(page) == State::Pending)
            return take(m_articles[size_t(article)].key, page);
    }
    if (!m_background)
        return nullptr;
    auto firstPending = [&](const Article &a) -> std::shared_ptr<Job> {
        for (const QString &p : a.pages) {
            if (m_state.value(p) == State::Pending)
                return take(a.key, p);
        }
        return nullptr;
    };
    if (shownArticle >= 0) {
        if (auto job = firstPending(m_articles[size_t(shownArticle)]))
            return job;
    }
    for (const Article &a : m_articles) {
        if (auto job = firstPending(a))
            return job;
    }
    return nullptr;
}

void TextQueue::work() {
    yieldToForeground();
    PageReader reader(m_library, m_languages);
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stop || (job = takeNext()); });
            if (m_stop)
                return;
        }
        auto outcome = std::make_shared<Outcome>();
        QTemporaryDir scratch;
        std::function<QString()> decode;
        if (GetFileExt(job->page).toUpper() == QLatin1String("WWP")) {
            decode = [&] { return WwpDecoder::decodeWrappedInto(job->page, scratch); };
        }
        outcome->reading =
            pageText(job->page, m_cache.get(), reader, nullptr, decode, &job->cancel);
        QMetaObject::invokeMethod(
            this, [this, job, outcome] { deliver(job, outcome); }, Qt::QueuedConnection);
    }
}

void TextQueue::deliver(const std::shared_ptr<Job> &job, const std::shared_ptr<Outcome> &outcome) {
    bool wanted = false;
    {
        std::lock_guard lock(m_mutex);
        m_running.erase(std::remove(m_running.begin(), m_running.end(), job), m_running.end());
        const auto state = m_state.find(job->page);
        // A page whose article closed, or that was cancelled, is dropped.
        if (state != m_state.end() && !job->cancel) {
            *state = outcome->reading.ok() ? State::Read : State::Failed;
            wanted = true;
        } else if (state != m_state.end()) {
            *state = State::Pending; // the article is open again: read it once more
        }
    }
    m_wake.notify_all();
    if (!wanted)
        return;
    if (outcome->reading.ok()) {
        hold(job->page, std::make_shared<const TextLayer>(std::move(*outcome->reading.layer)));
        recount();
        emit pageRead(job->page);
    } else {
        recount();
        emit pageFailed(job->page, outcome->reading.message);
    }
}

void TextQueue::recount() {
    int total = 0, done = 0;
    {
        std::lock_guard lock(m_mutex);
        total = int(m_state.size());
        for (const State s : std::as_const(m_state))
            done += s == State::Read || s == State::Failed;
    }
    if (total == m_pageCount && done == m_read)
        return;
    m_pageCount = total;
    m_read = done;
    emit progressChanged();
}

} // namespace qen::ocr
