#pragma once

#include <QTextEdit>

namespace qen {

// The record view (rihEdit) and its hidden twin for printing (rihHide). It loads a file from
// its path alone, showing rich text formatted and anything else as plain text, and saves its
// content as rich text or as GBK plain text.
class RecordView : public QTextEdit {
    Q_OBJECT
public:
    enum class SaveFormat { Rtf, PlainText };

    explicit RecordView(QWidget *parent = nullptr);

    // Loads a file from its path alone; "" empties the view. A file that cannot be read
    // empties the view and gives false. fileName() names the file shown either way.
    bool loadFile(const QString &path);
    QString fileName() const { return m_fileName; }

    // The path of the record last shown (before filtering).
    QString tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }

    // Writes what the view shows: rich text, or plain text in GBK with CR LF line ends.
    // Throws qen::Error naming the file and the reason (a character GBK cannot hold
    // included); a failed save leaves an existing file as it was.
    void saveFile(const QString &path, SaveFormat format) const;

    // The record font: the view's font, applied to all of the text shown, as the record font
    // command sets it.
    void setRecordFont(const QFont &font);

    static QFont defaultRecordFont();

private:
    QString m_fileName;
    QString m_tag;
};

} // namespace qen
