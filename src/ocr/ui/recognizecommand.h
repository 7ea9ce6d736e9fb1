#pragma once

#include "ocr/recognition.h"
#include "platform/workfolders.h"

#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;

namespace qen {

class FrmText;
class Interaction;

// "识别选定区域": crops the selection to a file, recognises it off the user-interface thread
// and shows the text in the result window, which it creates on first use and reuses while it
// stays open.
class RecognizeCommand : public QObject {
    Q_OBJECT
public:
    // crop writes the selection to cropFile; false when it did not (it has told the user
    // why). call is the recognition; by default the library, with the languages of the
    // settings read at each run.
    RecognizeCommand(QWidget *window, Interaction &interaction, WorkFolders folders,
                     std::function<bool()> crop, QString cropFile, ocr::OcrCall call = {},
                     QObject *parent = nullptr);
    ~RecognizeCommand() override;

    FrmText *resultWindow() const;
    bool running() const { return m_running; }

public slots:
    void mnuTool_Recognize();

private:
    ocr::Recognition recogniseOffThread(const QString &imageFile);

    QPointer<QWidget> m_window;
    Interaction &m_interaction;
    WorkFolders m_folders;
    std::function<bool()> m_crop;
    QString m_cropFile;
    ocr::OcrCall m_call;
    QPointer<FrmText> m_frmText;
    bool m_running = false;
};

} // namespace qen
