#pragma once

#include "export/printlayout.h"

#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace qen {

// One item of a print job as the feed hands it over: an image page ready for the paint
// engine, a page that could not be read (with the reason), or a file the painting thread
// prints itself (records are laid out by widgets, which live on that thread).
struct FedPage {
    enum Kind { Image, Failed, Other } kind = Other;
    printlayout::PrintImage image;
    QString error;
};

// Pages made ready for the printer on a thread of their own, one page ahead of the printer:
// while the paint engine compresses page N, page N+1 is decoded and scaled. At most two
// pages are held at a time, the one being painted and the next, whatever the job's length.
class PrintFeed {
public:
    // `prepare` runs on the feed's thread, for items 0 .. count-1 in order; a qen::Error or
    // a failed allocation it throws becomes a Failed item. `ready` runs on that thread as
    // each item becomes ready.
    PrintFeed(int count, std::function<FedPage(int)> prepare, std::function<void()> ready = {});
    // Stops after the item in hand, which is thrown away.
    ~PrintFeed();
    PrintFeed(const PrintFeed &) = delete;
    PrintFeed &operator=(const PrintFeed &) = delete;

    // Whether item `index`, the next to take, is ready.
    bool ready(int index) const;
    // Item `index`, the next in order, waiting for it if need be. The feed then starts on
    // the item after it.
    FedPage take(int index);

private:
    void run();

    const int m_count;
    const std::function<FedPage(int)> m_prepare;
    const std::function<void()> m_ready;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<FedPage> m_item;
    int m_itemIndex = -1;
    int m_next = 0; // the item the painting thread takes next
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace qen
