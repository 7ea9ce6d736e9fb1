// Recognition of the selected area and its result window.
#include "imaging/ui/imagetools.h"
#include "ocr/ui/recognizecommand.h"
#include "shell/ui/mainwindow.h"

#include <QAction>

namespace qen {

void MainWindow::wireRecognition() {
    // The image tools write the crop (and tell the user when they cannot); recognition reads
    // the file they wrote.
    m_recognize = new RecognizeCommand(
        this, m_interaction, m_folders, [this] { return m_imageTools->CropSelectionToFile(); },
        m_imageTools->cropPath(), {}, this);
    connect(command(QStringLiteral("mnuTool_Recognize")), &QAction::triggered, m_recognize,
            &RecognizeCommand::mnuTool_Recognize);
}

} // namespace qen
