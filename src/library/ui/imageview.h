#pragma once

#include <QImage>
#include <QWidget>

namespace qen {

// The page view (imgEdit) and its hidden twin (imgHide). This first version only shows a
// page; zoom, selection, adjustments and saving build on it.
class ImageView : public QWidget {
    Q_OBJECT
public:
    explicit ImageView(QWidget *parent = nullptr);

    // Loads a page; "" empties the view. On failure the view is empty and lastError() names
    // the file and what is wrong.
    bool setFileName(const QString &path);
    QString fileName() const { return m_fileName; }
    QString lastError() const { return m_lastError; }

    // 0 default, 2 cross, 11 hourglass, 20 hand.
    void setMousePointer(int pointer);
    int mousePointer() const { return m_mousePointer; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_fileName;
    QString m_lastError;
    QImage m_image;
    int m_mousePointer = 0;
};

} // namespace qen
