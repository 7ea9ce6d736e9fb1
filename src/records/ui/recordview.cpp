#include "records/ui/recordview.h"

#include "platform/textcodec.h"

#include <QFile>

namespace qen {

RecordView::RecordView(QWidget *parent) : QTextEdit(parent) {
    setReadOnly(true);
    setAcceptRichText(false);
}

bool RecordView::loadFile(const QString &path) {
    m_fileName = path;
    if (path.isEmpty()) {
        clear();
        return true;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        clear();
        return false;
    }
    setPlainText(text::decodeExternal(file.readAll()).text);
    return true;
}

} // namespace qen
