#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

class QCheckBox;
class QPushButton;

namespace qen {

class Interaction;
class WorkFolders;

// frmOutput: one check box per record field, captioned with the field's name, which is also
// its key in Output.ini. OK saves and confirms; Cancel and the title bar close leave the file
// alone.
class OutputOptionsDialog : public QDialog {
    Q_OBJECT
public:
    // The captions in index order, character for character.
    static QStringList fieldNames();

    OutputOptionsDialog(const WorkFolders &folders, Interaction &interaction,
                        QWidget *parent = nullptr);

    // True after OK; false after Cancel or when the window was closed.
    bool bConfirmed = false;

    void LoadOptions();
    // Creates the work root and Setting when missing. False, after telling the user why, when
    // the file could not be written.
    bool SaveOptions();

    QString settingsFile() const;
    QList<QCheckBox *> checkBoxes() const { return m_chkBox; }

private:
    void buttonClicked(int index);

    const WorkFolders &m_folders;
    Interaction &m_interaction;
    QList<QCheckBox *> m_chkBox;
    QList<QPushButton *> m_cmdButton;
};

// The number a stored option starts with, rounded to a whole number, as the dialog reads it:
// no number reads as 0.
int leadingOptionNumber(const QString &value);

} // namespace qen
