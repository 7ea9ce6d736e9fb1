#pragma once

#include <QMainWindow>

class QTextEdit;
class QToolBar;

namespace qen {

class Interaction;

// frmText: the recognition result, above every other window, with save, print, font, the
// line-break filter and a lock. It knows nothing of the document; it only receives a text.
class FrmText : public QMainWindow {
    Q_OBJECT
public:
    explicit FrmText(Interaction &interaction, QWidget *parent = nullptr);

    // Shows the text with its CR LF pairs removed (whatever the filter's check mark says),
    // keeps it as recognised for the filter, and places the window.
    void ShowMe(const QString &sText);

    // The text as the box shows it, line breaks as CR LF (paragraphs) or LF.
    QString shownText() const;
    QString sOcrText() const { return m_sOcrText; }
    QTextEdit *txtResult() const { return m_txtResult; }
    QToolBar *tlbBar() const { return m_tlbBar; }

    // Runs the handler of a toolbar key, compared in upper case.
    void tlbBar_ButtonClick(const QString &key);

public slots:
    void mnuFile_SaveAs();
    void mnuFile_Print();
    void mnuFile_Exit();
    void mnuFont();
    void mnuTool_Filter();
    void mnuTool_Lock();
    void mnuAbout();

private:
    QAction *addMenuItem(QMenu *menu, const char *name, const QString &text,
                         void (FrmText::*handler)());
    void setBoxText(const QString &text);
    void placeWindow();

    Interaction &m_interaction;
    QTextEdit *m_txtResult = nullptr;
    QToolBar *m_tlbBar = nullptr;
    QAction *m_filter = nullptr;
    QAction *m_lock = nullptr;
    QString m_sOcrText;
};

} // namespace qen
