#include "platform/ui/icons.h"

#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

// The resources are compiled into a static library; naming them here keeps the linker from
// dropping them from the program.
static void initResources() {
    Q_INIT_RESOURCE(qen);
}

namespace qen::icons {

namespace {

constexpr int Size = 32;
const QColor Ink(0x33, 0x3d, 0x4d);
const QColor Article(0x1f, 0x5f, 0xbf);
const QColor Page(0x2e, 0x8b, 0x3c);
const QColor Paper(0xfb, 0xfb, 0xf5);

using Painter = std::function<void(QPainter &)>;

// Draws the picture at the size asked for, so that a toolbar on a screen scaled by 2 gets
// its icons drawn at twice the pixels instead of blown up from 32 x 32.
class PaintedIcon : public QIconEngine {
public:
    explicit PaintedIcon(Painter paint) : m_paint(std::move(paint)) {}

    void paint(QPainter *p, const QRect &rect, QIcon::Mode mode, QIcon::State) override {
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        p->translate(rect.topLeft());
        p->scale(rect.width() / double(Size), rect.height() / double(Size));
        if (mode == QIcon::Disabled)
            p->setOpacity(0.35);
        p->setPen(QPen(Ink, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p->setBrush(Qt::NoBrush);
        m_paint(*p);
        p->restore();
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }
    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine *clone() const override { return new PaintedIcon(m_paint); }

private:
    Painter m_paint;
};

QIcon draw(const Painter &paint) {
    return QIcon(new PaintedIcon(paint));
}

void sheet(QPainter &p, QRectF r) {
    p.setBrush(Paper);
    p.drawRect(r);
    p.setBrush(Qt::NoBrush);
}

// A triangle pointing left or right, optionally with a bar at its tip: first/last (bar),
// previous/next (none), doubled for articles.
void arrow(QPainter &p, const QColor &color, bool right, bool bar, bool doubled) {
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    const double tip = right ? 24 : 8, base = right ? 12 : 20;
    auto triangle = [&](double shift) {
        QPainterPath path;
        path.moveTo(tip + shift, 16);
        path.lineTo(base + shift, 7);
        path.lineTo(base + shift, 25);
        path.closeSubpath();
        p.drawPath(path);
    };
    if (doubled) {
        triangle(right ? -6 : 6);
        triangle(right ? 2 : -2);
    } else {
        triangle(0);
    }
    if (bar)
        p.drawRect(QRectF(right ? 25 : 4, 7, 3, 18));
}

void magnifier(QPainter &p, bool plus) {
    p.setPen(QPen(Ink, 2.5));
    p.drawEllipse(QRectF(4, 4, 17, 17));
    p.drawLine(QPointF(19, 19), QPointF(28, 28));
    p.setPen(QPen(Article, 2.5));
    p.drawLine(QPointF(8, 12.5), QPointF(17, 12.5));
    if (plus)
        p.drawLine(QPointF(12.5, 8), QPointF(12.5, 17));
}

void doubleArrow(QPainter &p, bool horizontal) {
    sheet(p, QRectF(5, 5, 22, 22));
    p.setPen(QPen(Article, 2));
    if (horizontal) {
        p.drawLine(QPointF(8, 16), QPointF(24, 16));
        p.drawPolyline(QPolygonF({QPointF(12, 12), QPointF(8, 16), QPointF(12, 20)}));
        p.drawPolyline(QPolygonF({QPointF(20, 12), QPointF(24, 16), QPointF(20, 20)}));
    } else {
        p.drawLine(QPointF(16, 8), QPointF(16, 24));
        p.drawPolyline(QPolygonF({QPointF(12, 12), QPointF(16, 8), QPointF(20, 12)}));
        p.drawPolyline(QPolygonF({QPointF(12, 20), QPointF(16, 24), QPointF(20, 20)}));
    }
}

void dashedArea(QPainter &p) {
    p.setPen(QPen(Article, 2, Qt::DashLine));
    p.drawRect(QRectF(4, 6, 20, 16));
}

// An I-beam over lines of text: the text tool.
void textBeam(QPainter &p) {
    p.setPen(QPen(Ink, 2));
    for (int y : {8, 14, 20, 26})
        p.drawLine(QPointF(4, y), QPointF(y == 14 ? 14 : 20, y));
    p.setPen(QPen(Article, 2));
    p.drawLine(QPointF(25, 5), QPointF(25, 29));
    p.drawLine(QPointF(21, 5), QPointF(29, 5));
    p.drawLine(QPointF(21, 29), QPointF(29, 29));
}

const QHash<QString, Painter> &painters() {
    static const QHash<QString, Painter> table = {
        {"tOpen",
         [](QPainter &p) {
             p.setBrush(QColor(0xf2, 0xc1, 0x4e));
             p.drawPolygon(QPolygonF({QPointF(3, 9), QPointF(12, 9), QPointF(14, 12),
                                      QPointF(29, 12), QPointF(29, 27), QPointF(3, 27)}));
         }},
        {"tSave",
         [](QPainter &p) {
             p.setBrush(Article);
             p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
             p.setBrush(Paper);
             p.drawRect(QRectF(9, 4, 14, 9));
             p.drawRect(QRectF(8, 18, 16, 10));
         }},
        {"tPrint",
         [](QPainter &p) {
             sheet(p, QRectF(9, 3, 14, 10));
             p.setBrush(QColor(0x9a, 0xa5, 0xb4));
             p.drawRoundedRect(QRectF(3, 12, 26, 11), 2, 2);
             sheet(p, QRectF(9, 19, 14, 9));
         }},
        {"tHomeArticle", [](QPainter &p) { arrow(p, Article, false, true, true); }},
        {"tPrevArticle", [](QPainter &p) { arrow(p, Article, false, false, true); }},
        {"tNextArticle", [](QPainter &p) { arrow(p, Article, true, false, true); }},
        {"tEndArticle", [](QPainter &p) { arrow(p, Article, true, true, true); }},
        {"tHomePage", [](QPainter &p) { arrow(p, Page, false, true, false); }},
        {"tPrevPage", [](QPainter &p) { arrow(p, Page, false, false, false); }},
        {"tNextPage", [](QPainter &p) { arrow(p, Page, true, false, false); }},
        {"tEndPage", [](QPainter &p) { arrow(p, Page, true, true, false); }},
        {"tZoomIn", [](QPainter &p) { magnifier(p, true); }},
        {"tZoomOut", [](QPainter &p) { magnifier(p, false); }},
        {"tFitWidth", [](QPainter &p) { doubleArrow(p, true); }},
        {"tFitHeight", [](QPainter &p) { doubleArrow(p, false); }},
        {"tUnDo",
         [](QPainter &p) {
             p.setPen(QPen(Article, 3, Qt::SolidLine, Qt::RoundCap));
             QPainterPath path;
             path.moveTo(9, 12);
             path.cubicTo(17, 6, 29, 10, 26, 22);
             p.drawPath(path);
             p.setPen(Qt::NoPen);
             p.setBrush(Article);
             p.drawPolygon(QPolygonF({QPointF(3, 12), QPointF(12, 5), QPointF(13, 17)}));
         }},
        {"tCopyPage",
         [](QPainter &p) {
             sheet(p, QRectF(4, 4, 16, 20));
             sheet(p, QRectF(12, 9, 16, 20));
         }},
        {"tSelArea",
         [](QPainter &p) {
             dashedArea(p);
             p.setPen(QPen(Ink, 2));
             p.drawLine(QPointF(22, 20), QPointF(29, 29));
         }},
        {"tOCR",
         [](QPainter &p) {
             sheet(p, QRectF(4, 3, 24, 26));
             QFont f = p.font();
             f.setPixelSize(17);
             f.setBold(true);
             p.setFont(f);
             p.setPen(Article);
             p.drawText(QRectF(4, 3, 24, 26), Qt::AlignCenter, QStringLiteral("文"));
         }},
        {"tSelText", textBeam},
        {"tCopyArea",
         [](QPainter &p) {
             dashedArea(p);
             sheet(p, QRectF(14, 14, 14, 15));
         }},
        {"tHelp",
         [](QPainter &p) {
             p.setBrush(Article);
             p.setPen(Qt::NoPen);
             p.drawEllipse(QRectF(3, 3, 26, 26));
             QFont f = p.font();
             f.setPixelSize(20);
             f.setBold(true);
             p.setFont(f);
             p.setPen(Qt::white);
             p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, QStringLiteral("?"));
         }},
        {"tExit",
         [](QPainter &p) {
             sheet(p, QRectF(5, 3, 15, 26));
             p.setPen(QPen(QColor(0xc0, 0x39, 0x2b), 3, Qt::SolidLine, Qt::RoundCap));
             p.drawLine(QPointF(14, 16), QPointF(28, 16));
             p.drawPolyline(QPolygonF({QPointF(23, 11), QPointF(28, 16), QPointF(23, 21)}));
         }},
    };
    return table;
}

} // namespace

QIcon toolbarIcon(const QString &imageKey) {
    const auto it = painters().constFind(imageKey);
    return it == painters().constEnd() ? QIcon() : draw(*it);
}

QIcon articleIcon() {
    return draw([](QPainter &p) {
        p.setBrush(Article);
        p.drawRoundedRect(QRectF(5, 3, 22, 26), 2, 2);
        p.setPen(QPen(Qt::white, 2));
        for (int y : {10, 16, 22})
            p.drawLine(QPointF(10, y), QPointF(22, y));
    });
}

QIcon pageIcon() {
    return draw([](QPainter &p) {
        sheet(p, QRectF(6, 3, 20, 26));
        p.setPen(QPen(Page, 2));
        for (int y : {10, 15, 20})
            p.drawLine(QPointF(10, y), QPointF(22, y));
    });
}

QList<int> programIconSizes() {
    return {16, 22, 24, 32, 48, 64, 128, 256};
}

QIcon programIcon() {
    // The rendered sizes of the desktop icon, so the title bar and the task switcher pick a
    // sharp one and no SVG support is needed at run time.
    initResources();
    QIcon icon;
    for (int size : programIconSizes())
        icon.addFile(QStringLiteral(":/qen/icons/%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace qen::icons
