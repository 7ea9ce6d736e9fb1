// PDF export.
#include "shell/ui/mainwindow.h"

namespace qen {

void MainWindow::wirePdf() {}

} // namespace qen
