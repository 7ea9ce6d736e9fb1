#include "library/ui/imageview.h"

#include <QImageReader>
#include <QPainter>

namespace qen {

ImageView::ImageView(QWidget *parent) : QWidget(parent) {
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    setPalette(p);
}

bool ImageView::setFileName(const QString &path) {
    m_image = QImage();
    m_fileName = path;
    m_lastError.clear();
    if (!path.isEmpty()) {
        QImageReader reader(path);
        if (!reader.read(&m_image)) {
            m_lastError = QStringLiteral("无法显示 %1：%2").arg(path, reader.errorString());
            m_fileName.clear();
        }
    }
    update();
    return m_lastError.isEmpty();
}

void ImageView::setMousePointer(int pointer) {
    m_mousePointer = pointer;
    switch (pointer) {
    case 2:
        setCursor(Qt::CrossCursor);
        break;
    case 11:
        setCursor(Qt::WaitCursor);
        break;
    case 20:
        setCursor(Qt::OpenHandCursor);
        break;
    default:
        unsetCursor();
        break;
    }
}

void ImageView::paintEvent(QPaintEvent *) {
    if (m_image.isNull())
        return;
    QPainter painter(this);
    const QImage scaled = m_image.scaledToWidth(width(), Qt::SmoothTransformation);
    painter.drawImage(0, 0, scaled);
}

} // namespace qen
