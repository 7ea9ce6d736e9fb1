// Navigation, zoom, keys, layout toggles and help.
#include "shell/ui/mainwindow.h"

namespace qen {

void MainWindow::wireNavigation() {}

} // namespace qen
