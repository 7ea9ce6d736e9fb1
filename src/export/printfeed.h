#pragma once

#include "export/printlayout.h"
#include "platform/workahead.h"

#include <QString>

#include <functional>

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
    // each item becomes ready. The feed stops after the item in hand when it goes.
    PrintFeed(int count, std::function<FedPage(int)> prepare, std::function<void()> ready = {});

    // Whether item `index`, the next to take, is ready.
    bool ready(int index) const { return m_ahead.ready(index); }
    // Item `index`, the next in order, waiting for it if need be. The feed then starts on
    // the item after it.
    FedPage take(int index) { return m_ahead.take(index); }

private:
    WorkAhead<FedPage> m_ahead;
};

} // namespace qen
