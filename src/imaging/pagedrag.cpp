#include "imaging/pagedrag.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <QUrl>

namespace qen::pagedrag {

void Gesture::press(QPoint at, qint64 ms) {
    m_state = State::Pressed;
    m_at = at;
    m_pressedMs = ms;
}

Gesture::Move Gesture::move(QPoint at, qint64 ms) {
    if (m_state == State::DraggedOut)
        return Move::Spent;
    if (m_state != State::Pressed)
        return Move::Other;
    if ((at - m_at).manhattanLength() < m_distance)
        return Move::Undecided;
    m_state = ms - m_pressedMs >= m_holdMs ? State::DraggedOut : State::Other;
    return m_state == State::DraggedOut ? Move::DragOut : Move::Other;
}

QString fileName(const QString &pagePath, bool band) {
    QString base = QFileInfo(pagePath).completeBaseName();
    if (base.isEmpty())
        base = QStringLiteral("页面");
    return base + (band ? QStringLiteral("-选定区域.png") : QStringLiteral(".png"));
}

namespace {
const QString Png = QStringLiteral("image/png");
const QString UriList = QStringLiteral("text/uri-list");
const QString QtImage = QStringLiteral("application/x-qt-image");
} // namespace

ImageMimeData::ImageMimeData(QImage image, QString folder, QString name)
    : m_image(std::move(image)), m_folder(std::move(folder)), m_name(std::move(name)) {}

QStringList ImageMimeData::formats() const {
    return {Png, UriList, QtImage};
}

bool ImageMimeData::hasFormat(const QString &mimeType) const {
    return formats().contains(mimeType);
}

QByteArray ImageMimeData::png() const {
    if (m_png.isEmpty() && !m_image.isNull()) {
        QBuffer buffer(&m_png);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        if (!writer.write(m_image))
            m_png.clear();
    }
    return m_png;
}

QString ImageMimeData::writtenFile() const {
    if (m_fileTried)
        return m_file;
    m_fileTried = true;
    const QByteArray bytes = png();
    // A name that would leave the folder is never written.
    if (bytes.isEmpty() || m_name.isEmpty() || m_name.contains(QLatin1Char('/')) ||
        m_name == QLatin1String("..") || !QDir().mkpath(m_folder))
        return {};
    const QString path = QDir(m_folder).filePath(m_name);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return {};
    m_file = path;
    return m_file;
}

QVariant ImageMimeData::retrieveData(const QString &mimeType, QMetaType type) const {
    if (mimeType == Png)
        return png();
    if (mimeType == QtImage)
        return m_image;
    if (mimeType == UriList) {
        const QString path = writtenFile();
        if (path.isEmpty())
            return {};
        const QUrl url = QUrl::fromLocalFile(path);
        if (type.id() == QMetaType::QByteArray || type.id() == QMetaType::QString)
            return QByteArray(url.toEncoded() + "\r\n");
        return QVariantList{url};
    }
    return {};
}

} // namespace qen::pagedrag
