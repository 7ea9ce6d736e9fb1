#pragma once

#include "export/ui/exportcontrols.h"

#include <QObject>
#include <QStringList>

namespace qen {

class Interaction;

// The record commands for reference managers: "导出题录..." writes the shown record, or on
// request every record of the open articles, as RIS, BibTeX, CSL-JSON or EndNote, chosen by
// the file's extension; "复制引文" puts the shown record's GB/T 7714 citations on the
// clipboard. Both read the record file itself, every field, whatever the output options
// show.
class CitationCommands : public QObject {
    Q_OBJECT
public:
    CitationCommands(ExportControls controls, ExportHooks hooks, Interaction &interaction,
                     QObject *parent = nullptr);

    // The file of the record shown in the record view; "" while none is shown.
    QString shownRecord() const;
    // Every record file of the open articles, in tree order.
    QStringList openRecords() const;

    // The save dialog's type list.
    static QString fileTypes();

public slots:
    void exportRecords();
    void copyCitation();

private:
    // What went wrong or was read in spite of a fault, shortened for a message box.
    static QString problemText(const QStringList &problems);

    ExportControls m_controls;
    ExportHooks m_hooks;
    Interaction &m_interaction;
};

} // namespace qen
