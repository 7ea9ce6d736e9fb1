#pragma once

namespace qen {

// Lowers the calling thread to a nicer priority, for background work (recognition, thumbnails)
// that must leave the window and the page read ahead the processor first. Not the idle class,
// which would starve the work for as long as any other program keeps the cores busy. Linux
// keeps a nice value per thread; Qt's thread priorities do nothing under the normal scheduler.
void yieldToForeground();

} // namespace qen
