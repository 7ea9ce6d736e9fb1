// Files dropped on the window from a file manager.
#include "shell/ui/mainwindow.h"

namespace qen {

void MainWindow::wireDesktop() {}

} // namespace qen
