#include "view/layout.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace qen::layout {

Result arrange(const Input &in) {
    Result r;
    const double below = in.toolbarTop + in.toolbarHeight;
    // A window smaller than its bars gives the panes no room rather than a negative size.
    r.tree = {in.navigationShown ? 0.0 : twips::ParkedLeft, below, in.tree.width,
              std::max(0.0, in.clientHeight - below - in.statusHeight)};
    // The bar reaches 30 twips above and below the tree.
    r.splitter = {r.tree.left + r.tree.width, r.tree.top - 30, in.splitter.width,
                  r.tree.height + 60};
    if (in.navigationShown)
        r.activeView = {r.splitter.left + r.splitter.width, r.splitter.top,
                        std::max(0.0, in.clientWidth - r.splitter.width - r.splitter.left),
                        r.splitter.height};
    else
        r.activeView = {0, r.splitter.top, in.clientWidth, r.splitter.height};
    r.thumbnails = r.activeView;
    r.thumbnails.width = in.thumbnailsWidth;
    if (in.thumbnailsWidth > 0) {
        r.activeView.width = std::max(0.0, r.activeView.width - in.thumbnailsWidth);
        r.thumbnails.left = r.activeView.left + r.activeView.width;
    } else {
        r.thumbnails.left = twips::ParkedLeft;
    }
    r.parkedView = r.activeView;
    r.parkedView.left = twips::ParkedLeft;
    r.splitterShadow = r.splitter;
    r.splitterShadow.left = twips::ParkedLeft;
    r.combo = {in.clientWidth - in.comboWidth, (in.toolbarHeight - in.comboHeight) / 2,
               in.comboWidth, in.comboHeight};
    r.caption = {r.combo.left - in.captionWidth, r.combo.top + 2 * in.twipsPerPixelY,
                 in.captionWidth, in.captionHeight};
    return r;
}

} // namespace qen::layout

namespace qen::layout {

namespace {

TwipsRect &activeOf(Panes &p) {
    return p.imageActive() ? p.imageView : p.recordView;
}
TwipsRect &parkedOf(Panes &p) {
    return p.imageActive() ? p.recordView : p.imageView;
}
void park(TwipsRect &parked, const TwipsRect &active) {
    parked = active;
    parked.left = twips::ParkedLeft;
}

} // namespace

Panes splitterDrop(Panes p, double releaseX) {
    const double left = p.shadow.left;
    p.shadow.left = twips::ParkedLeft;
    const TwipsRect &view = activeOf(p);
    const double viewRight = view.left + view.width;
    // A drop at or past the view's right edge would push the view off the window and leave
    // the bar out of reach.
    if (left < MinSplitterLeft || left > MaxSplitterLeft || left + p.splitter.width >= viewRight)
        return p;
    p.splitter.left = left;
    p.tree.left = 0;
    p.tree.width += releaseX;
    TwipsRect &active = activeOf(p);
    active.left = p.splitter.left + p.splitter.width;
    active.width = std::abs(active.width - releaseX);
    park(parkedOf(p), active);
    return p;
}

namespace {
Panes alignToTree(Panes p) {
    for (TwipsRect *r : {&p.splitter, &p.shadow, &p.imageView, &p.recordView, &p.thumbnails}) {
        r->top = p.tree.top;
        r->height = p.tree.height;
    }
    return p;
}
} // namespace

Panes toolbarToggled(Panes p, bool nowShown, double toolbarHeight) {
    if (nowShown) {
        p.tree.top = toolbarHeight;
        p.tree.height -= toolbarHeight;
    } else {
        p.tree.top = 0;
        p.tree.height += toolbarHeight;
    }
    return alignToTree(p);
}

Panes statusBarToggled(Panes p, bool nowShown, double statusHeight) {
    p.tree.height += nowShown ? -statusHeight : statusHeight;
    return alignToTree(p);
}

Panes navigationToggled(Panes p, bool nowShown) {
    const bool image = p.imageActive();
    TwipsRect &active = image ? p.imageView : p.recordView;
    TwipsRect &parked = image ? p.recordView : p.imageView;
    if (nowShown) {
        p.tree.left = 0;
        p.splitter.left = p.tree.left + p.tree.width;
        const double right = active.left + active.width;
        active.left = p.splitter.left + p.splitter.width;
        active.width = right - active.left;
    } else {
        p.tree.left = twips::ParkedLeft;
        p.splitter.left = twips::ParkedLeft;
        active.width += active.left;
        active.left = 0;
    }
    park(parked, active);
    return p;
}

Panes thumbnailsToggled(Panes p, bool nowShown, double stripWidth) {
    TwipsRect &active = activeOf(p);
    if (nowShown) {
        const double right = active.left + active.width;
        p.thumbnails = {std::max(active.left, right - stripWidth), active.top, stripWidth,
                        active.height};
        active.width = p.thumbnails.left - active.left;
    } else {
        // The strip's right edge becomes the view's again.
        if (p.thumbnails.left >= 0)
            active.width = p.thumbnails.left + p.thumbnails.width - active.left;
        p.thumbnails.left = twips::ParkedLeft;
    }
    park(parkedOf(p), active);
    return p;
}

} // namespace qen::layout
