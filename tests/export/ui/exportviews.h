#pragma once

// The export fixture with the window's two views and a scripted user whose printer writes
// out.pdf in the test's folder.
#include "export/ui/exportcontrols.h"
#include "pageview/shownview.h"
#include "pageview/ui/imageview.h"
#include "records/ui/recordview.h"
#include "scriptedinteraction.h"

#include "../exportfixture.h"

namespace qen::test {

struct ExportViews : ExportWorld {
    ImageView image;
    RecordView record;
    ScriptedInteraction user{dir.filePath("out.pdf")};
    ShownViewState shown;

    ExportControls controls() { return {nullptr, &tree, &display, &image, &record, &shown}; }
};

} // namespace qen::test
