#include "help/ui/aboutbox.h"

#include "platform/product.h"
#include "platform/ui/interaction.h"
#include "platform/ui/twipsgeometry.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

namespace qen {

LinkLabel::LinkLabel(const QString &caption, QUrl target, Interaction &interaction, QWidget *parent)
    : QLabel(caption, parent), m_target(std::move(target)), m_interaction(interaction) {
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    setHighlighted(false);
}

void LinkLabel::setHighlighted(bool on) {
    m_highlighted = on;
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, on ? QColor(0, 0, 255) : QColor(0, 0, 0));
    setPalette(pal);
    QFont f = font();
    f.setUnderline(on);
    setFont(f);
}

void LinkLabel::mouseMoveEvent(QMouseEvent *event) {
    // While the button is held the label keeps the pointer; the highlight shows whether a
    // release would open the link.
    setHighlighted(rect().contains(event->position().toPoint()));
}

void LinkLabel::leaveEvent(QEvent *) {
    setHighlighted(false);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event) {
    const bool over = rect().contains(event->position().toPoint());
    setHighlighted(false);
    if (event->button() == Qt::LeftButton && over)
        m_interaction.openUrl(m_target); // no handler for the scheme: nothing happens
}

QPixmap AboutBox::picture(const QSize &size, qreal devicePixelRatio) {
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(QPointF(0, 0), QSizeF(size));
    QLinearGradient sky(r.topLeft(), r.bottomLeft());
    sky.setColorAt(0, QColor(0x1f, 0x5f, 0xbf));
    sky.setColorAt(1, QColor(0x9f, 0xc5, 0xf0));
    p.fillRect(r, sky);
    // An open journal: two pages with lines of text.
    const double w = r.width(), h = r.height();
    const QRectF left(w * 0.12, h * 0.2, w * 0.37, h * 0.62),
        right(w * 0.51, h * 0.2, w * 0.37, h * 0.62);
    p.setPen(QPen(QColor(0x33, 0x3d, 0x4d), 1));
    p.setBrush(QColor(0xfb, 0xfb, 0xf5));
    p.drawRect(left);
    p.drawRect(right);
    p.setPen(QPen(QColor(0x88, 0x8c, 0x94), 1));
    for (const QRectF &page : {left, right})
        for (double y = page.top() + h * 0.08; y < page.bottom() - h * 0.05; y += h * 0.07)
            p.drawLine(QPointF(page.left() + w * 0.04, y), QPointF(page.right() - w * 0.04, y));
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(std::max(8, int(h * 0.14)));
    p.setFont(font);
    p.drawText(QRectF(0, 0, w, h * 0.2), Qt::AlignCenter, QStringLiteral("Qen"));
    return pixmap;
}

AboutBox::AboutBox(Interaction &interaction, QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("关于..."));
    setModal(true);
    // Closed by its title bar: no buttons, no help button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    const double tx = twipsPerPixelX(this), ty = twipsPerPixelY(this);
    setFixedSize(qRound(5910 / tx), qRound(2070 / ty));

    auto *frame = new QLabel(this);
    frame->setObjectName(QStringLiteral("Picture1"));
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Sunken);
    moveTwips(frame, {120, 120, 1785, 1035});
    frame->setPixmap(picture(frame->contentsRect().size(), devicePixelRatioF()));

    auto place = [&](QLabel *label, const char *name, double top) {
        label->setObjectName(QString::fromLatin1(name));
        moveTwips(label, {2100, top, 3690, 330});
    };
    place(new QLabel(product::name() + QStringLiteral(" V") + product::version(), this), "Label1",
          150);
    place(new QLabel(product::makerNotice(), this), "Label2", 560);
    place(new LinkLabel(product::contactMail(),
                        QUrl(QStringLiteral("mailto:") + product::contactMail()), interaction,
                        this),
          "lblMail", 1100);
    place(new LinkLabel(product::homePage(), QUrl(product::homePage()), interaction, this),
          "lblURL", 1500);
}

void ShowAbout(Interaction &interaction, QWidget *parent) {
    // Centred over its parent by the toolkit, or by the compositor where programs may not
    // place their windows.
    AboutBox box(interaction, parent);
    box.exec();
}

QString HomePageMessage() {
    return QStringLiteral("欢迎访问公司主页：") + product::homePage() + QLatin1Char('\n') +
           product::ocrCredit();
}

void ShowHomePage(Interaction &interaction, QWidget *parent) {
    interaction.information(parent, HomePageMessage());
}

} // namespace qen
