#pragma once

#include "platform/twips.h"

// The main window's regions, computed in twips in the client area: toolbar band on top,
// status bar at the bottom, the tree on the left, the splitter bar, and the view area.
namespace qen::layout {

struct Input {
    double clientWidth = 0, clientHeight = 0;
    double toolbarTop = 0, toolbarHeight = 0;
    double statusHeight = 0;
    TwipsRect tree;     // its Width is kept
    TwipsRect splitter; // its Width is kept
    bool navigationShown = true;
    double comboWidth = 0, comboHeight = 0;
    double captionWidth = 0, captionHeight = 0;
    double twipsPerPixelY = 15;
};

struct Result {
    TwipsRect tree, splitter, activeView, parkedView, splitterShadow, combo, caption;
};

// The window layout run on every size change, the first showing included.
Result arrange(const Input &in);

} // namespace qen::layout
