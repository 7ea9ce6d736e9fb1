#include "view/layout.h"

namespace qen::layout {

Result arrange(const Input &in) {
    Result r;
    const double below = in.toolbarTop + in.toolbarHeight;
    r.tree = {in.navigationShown ? 0.0 : twips::ParkedLeft, below, in.tree.width,
              in.clientHeight - below - in.statusHeight};
    // The bar reaches 30 twips above and below the tree.
    r.splitter = {r.tree.left + r.tree.width, r.tree.top - 30, in.splitter.width,
                  r.tree.height + 60};
    if (in.navigationShown)
        r.activeView = {r.splitter.left + r.splitter.width, r.splitter.top,
                        in.clientWidth - r.splitter.width - r.splitter.left, r.splitter.height};
    else
        r.activeView = {0, r.splitter.top, in.clientWidth, r.splitter.height};
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
