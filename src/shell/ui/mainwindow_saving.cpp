// Saving and printing pages, articles and everything.
#include "shell/ui/mainwindow.h"

namespace qen {

void MainWindow::wireSaving() {}

} // namespace qen
