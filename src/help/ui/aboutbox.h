#pragma once

#include <QDialog>
#include <QLabel>
#include <QUrl>

namespace qen {

class Interaction;

// A label that works as a link: blue and underlined while the pointer is over it, opening
// its target when the button is released over it (a press that leaves first opens nothing).
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString &caption, QUrl target, Interaction &interaction,
              QWidget *parent = nullptr);
    QUrl target() const { return m_target; }
    bool isHighlighted() const { return m_highlighted; }

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void setHighlighted(bool on);

    QUrl m_target;
    Interaction &m_interaction;
    bool m_highlighted = false;
};

// frmAbout: the program's name and version, the maker notice, and the web and mail links.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    AboutBox(Interaction &interaction, QWidget *parent = nullptr);

    // The picture in the top-left frame, drawn by the program.
    static QPixmap picture(const QSize &size, qreal devicePixelRatio);
};

// The Help menu's two commands.
void ShowAbout(Interaction &interaction, QWidget *parent);
void ShowHomePage(Interaction &interaction, QWidget *parent);
QString HomePageMessage();

} // namespace qen
