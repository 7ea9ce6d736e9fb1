#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace qen {

// Items 0 .. count-1 made ready in order on a thread of their own, at most `ahead` items
// before the one the caller takes next, so that what a long job holds stays bounded whatever
// its length. Whatever `prepare` throws is thrown again by take(), in the item's place.
template <typename T> class WorkAhead {
public:
    // `ready` runs on the worker's thread as each item becomes ready.
    WorkAhead(int count, int ahead, std::function<T(int)> prepare, std::function<void()> ready = {})
        : m_count(count), m_ahead(ahead < 1 ? 1 : ahead), m_prepare(std::move(prepare)),
          m_ready(std::move(ready)) {
        if (m_count > 0)
            m_thread = std::thread([this] { run(); });
    }
    // Stops after the item in hand, which is thrown away with those not taken.
    ~WorkAhead() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    WorkAhead(const WorkAhead &) = delete;
    WorkAhead &operator=(const WorkAhead &) = delete;

    // Whether item `index`, the next to take, is ready.
    bool ready(int index) const {
        std::lock_guard lock(m_mutex);
        return index < m_taken + int(m_items.size());
    }
    // Item `index`, the next in order, waiting for it if need be.
    T take(int index) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return index < m_taken + int(m_items.size()); });
        Item item = std::move(m_items.front());
        m_items.pop_front();
        ++m_taken;
        lock.unlock();
        m_changed.notify_all();
        if (item.error)
            std::rethrow_exception(item.error);
        return std::move(*item.value);
    }

private:
    struct Item {
        std::optional<T> value;
        std::exception_ptr error;
    };

    void run() {
        for (int index = 0; index < m_count; ++index) {
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return m_stop || index < m_taken + m_ahead; });
                if (m_stop)
                    return;
            }
            Item item;
            try {
                item.value.emplace(m_prepare(index));
            } catch (...) {
                item.error = std::current_exception();
            }
            {
                std::lock_guard lock(m_mutex);
                m_items.push_back(std::move(item));
            }
            m_changed.notify_all();
            if (m_ready)
                m_ready();
        }
    }

    const int m_count;
    const int m_ahead;
    const std::function<T(int)> m_prepare;
    const std::function<void()> m_ready;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Item> m_items;
    int m_taken = 0;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace qen
