#pragma once

#include <QTextEdit>

namespace qen {

// The record view (rihEdit) and its hidden twin (rihHide). This first version shows a file
// as plain text; RTF, saving and the filter build on it.
class RecordView : public QTextEdit {
    Q_OBJECT
public:
    explicit RecordView(QWidget *parent = nullptr);

    // Loads a file from its path alone; "" empties the view.
    bool loadFile(const QString &path);
    QString fileName() const { return m_fileName; }

    // The path of the record last shown (before filtering).
    QString tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }

private:
    QString m_fileName;
    QString m_tag;
};

} // namespace qen
