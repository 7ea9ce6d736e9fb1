// Recognition of the selected area and its result window.
#include "shell/ui/mainwindow.h"

namespace qen {

void MainWindow::wireRecognition() {}

} // namespace qen
