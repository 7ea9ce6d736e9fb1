#include "export/printfeed.h"

#include "platform/error.h"

#include <new>

namespace qen {

PrintFeed::PrintFeed(int count, std::function<FedPage(int)> prepare, std::function<void()> ready)
    : m_count(count), m_prepare(std::move(prepare)), m_ready(std::move(ready)) {
    if (m_count > 0)
        m_thread = std::thread([this] { run(); });
}

PrintFeed::~PrintFeed() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void PrintFeed::run() {
    for (int index = 0; index < m_count; ++index) {
        {
            std::unique_lock lock(m_mutex);
            // One page ahead and no further: the next starts once the one before is taken.
            m_changed.wait(lock, [&] { return m_stop || index <= m_next; });
            if (m_stop)
                return;
        }
        FedPage item;
        try {
            item = m_prepare(index);
        } catch (const Error &e) {
            item = FedPage();
            item.kind = FedPage::Failed;
            item.error = e.description();
        } catch (const std::bad_alloc &) {
            item = FedPage();
            item.kind = FedPage::Failed;
            item.error = QStringLiteral("内存不足，无法准备第 %1 页。").arg(index + 1);
        }
        {
            std::lock_guard lock(m_mutex);
            m_item = std::move(item);
            m_itemIndex = index;
        }
        m_changed.notify_all();
        if (m_ready)
            m_ready();
    }
}

bool PrintFeed::ready(int index) const {
    std::lock_guard lock(m_mutex);
    return m_itemIndex == index;
}

FedPage PrintFeed::take(int index) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_itemIndex == index; });
    FedPage item = std::move(*m_item);
    m_item.reset();
    m_itemIndex = -1;
    m_next = index + 1;
    lock.unlock();
    m_changed.notify_all();
    return item;
}

} // namespace qen
