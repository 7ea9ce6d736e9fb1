#pragma once

#include <QImage>
#include <QMimeData>
#include <QPoint>
#include <QString>

// Dragging the shown page, or its band, out of the view to another program.
namespace qen::pagedrag {

// Telling a drag out from a pan or a band drawn from the same press: the pointer is held still
// for a moment, then moved. A press moved away at once keeps its old meaning, so selecting an
// area or panning feels as it always did.
class Gesture {
public:
    Gesture(int holdMs, int startDistance) : m_holdMs(holdMs), m_distance(startDistance) {}

    enum class Move {
        Undecided, // still near the press; the move means what it always meant
        DragOut,   // held, then moved away: start the drag (once)
        Other,     // moved away before the hold was over
        Spent,     // the drag has been made; the rest of the press means nothing
    };
    void press(QPoint at, qint64 ms);
    Move move(QPoint at, qint64 ms);
    void release() { m_state = State::Idle; }
    bool draggedOut() const { return m_state == State::DraggedOut; }

private:
    enum class State { Idle, Pressed, Other, DraggedOut };
    int m_holdMs, m_distance;
    State m_state = State::Idle;
    QPoint m_at;
    qint64 m_pressedMs = 0;
};

// The name the dragged file gets, from the page file's name: a band is told apart from the
// whole page, and a page without a file gets a name of its own.
QString fileName(const QString &pagePath, bool band);

// What a drop receives: the pixels as a PNG image and as a PNG file in `folder`. Both are made
// only when a program asks for them, so the drag starts at once even on a large page; the file
// is written whole or not at all, so a drop never finds half a picture.
class ImageMimeData : public QMimeData {
public:
    ImageMimeData(QImage image, QString folder, QString name);

    QStringList formats() const override;
    bool hasFormat(const QString &mimeType) const override;
    // The file's path once written, or empty when it could not be.
    QString writtenFile() const;

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType type) const override;

private:
    QByteArray png() const;

    QImage m_image;
    QString m_folder, m_name;
    mutable QByteArray m_png;
    mutable QString m_file;
    mutable bool m_fileTried = false;
};

} // namespace qen::pagedrag
