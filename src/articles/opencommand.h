#pragma once

#include <QString>
#include <QStringList>

namespace qen {

// The Open command's dialog texts: title "打开文件" and the eleven filters, the first selected.
QString OpenDialogTitle();
// In QFileDialog's "description (patterns)" form. The first description keeps its own
// (misspelt) text; its patterns include "*txt" without a dot, as they always have.
QStringList OpenDialogFilters();

// sLastOpenSpec: the Open command does nothing when the same selection comes back twice in a
// row. Close-all forgets it.
class LastOpenSpec {
public:
    // The dialog's chosen files (full names) as the NUL-separated list for CreateTree, or ""
    // when the command ends here: nothing chosen (Cancel), or the same selection as last time.
    QString take(const QStringList &chosen);
    void clear() { m_value.clear(); }
    const QString &value() const { return m_value; }

private:
    QString m_value;
};

} // namespace qen
