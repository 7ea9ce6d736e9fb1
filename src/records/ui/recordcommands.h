#pragma once

#include "platform/workfolders.h"

#include <QObject>
#include <QPointer>

class QAction;

namespace qen {

class Interaction;
class RecordView;

// The record commands of the menus and the field filter that page display runs: output
// options, record font and record lock. It works on the shown record view alone.
class RecordCommands : public QObject {
    Q_OBJECT
public:
    // lockAction is the "锁定题录" item: it is made checkable and checked, and the view
    // read-only, and from then on the view follows its check mark.
    RecordCommands(RecordView *rihEdit, Interaction &interaction, WorkFolders folders,
                   QAction *lockAction, QObject *parent = nullptr);

    QString settingsFile() const;

public slots:
    // Applies the output options to the record named by the view's tag and shows the result;
    // on a settings error it tells the user and shows the record unfiltered. A view without a
    // record, a WP record or a missing settings file leave the view as it is.
    void FilterRecord();
    // "输出选项设置...": the options dialog, then the filter when it was confirmed.
    void outputOptions();
    // "题录字体...": the font dialog preset with the view's font.
    void recordFont();

private:
    void lockToggled(bool checked);

    QPointer<RecordView> m_view;
    Interaction &m_interaction;
    WorkFolders m_folders;
    QPointer<QAction> m_lock;
};

} // namespace qen
