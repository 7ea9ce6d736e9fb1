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
    double thumbnailsWidth = 0; // the thumbnail strip's, 0 while it is hidden
};

struct Result {
    TwipsRect tree, splitter, activeView, parkedView, splitterShadow, combo, caption;
    // At the view's right edge, as tall as the view; parked while hidden.
    TwipsRect thumbnails;
};

// The window layout run on every size change, the first showing included.
Result arrange(const Input &in);

} // namespace qen::layout

namespace qen::layout {

// Where the splitter's left edge may be dropped, in twips.
inline constexpr double MinSplitterLeft = 1000, MaxSplitterLeft = 10500;

// The controls the splitter and the toggles move, in twips of the client area.
struct Panes {
    TwipsRect tree, splitter, shadow, imageView, recordView;
    TwipsRect thumbnails; // parked while hidden
    bool imageActive() const { return imageView.left >= 0; }
};

// Splitter drop: the shadow's Left and the release point X (relative to the bar). A drop
// outside 1000..10500 twips, or one that would leave the view no width (at or beyond its
// right edge), changes nothing; either way the shadow is parked.
Panes splitterDrop(Panes p, double releaseX);

// The toolbar or status bar was just shown (true) or hidden: the tree, both splitter bars
// and both views (parked or not) give up or take over the bar's height.
Panes toolbarToggled(Panes p, bool nowShown, double toolbarHeight);
Panes statusBarToggled(Panes p, bool nowShown, double statusHeight);
// The navigation pane was just shown or hidden. The active view keeps its right edge; the
// tree keeps its width for the next showing.
Panes navigationToggled(Panes p, bool nowShown);
// The thumbnail strip was just shown or hidden at the view's right edge: the active view
// gives up the strip's width or takes it back, so the window's right edge stays where it was.
Panes thumbnailsToggled(Panes p, bool nowShown, double stripWidth);

} // namespace qen::layout
