// Recognition of the selected area and its result window.
#include "ocr/ui/recognizecommand.h"
#include "shell/ui/mainwindow.h"

#include <QAction>

namespace qen {

void MainWindow::wireRecognition() {
    // The crop of the selection belongs to the image tools; until they are connected here the
    // command has no crop and does nothing.
    std::function<bool()> crop;
    m_recognize = new RecognizeCommand(this, m_interaction, m_folders, crop,
                                       m_folders.appPath() + QStringLiteral("/Temp.tif"), {}, this);
    connect(command(QStringLiteral("mnuTool_Recognize")), &QAction::triggered, m_recognize,
            &RecognizeCommand::mnuTool_Recognize);
}

} // namespace qen
