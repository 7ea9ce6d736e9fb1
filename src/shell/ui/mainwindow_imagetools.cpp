// Image adjustments, undo, area selection and copy.
#include "shell/ui/mainwindow.h"

namespace qen {

void MainWindow::wireImageTools() {}

} // namespace qen
