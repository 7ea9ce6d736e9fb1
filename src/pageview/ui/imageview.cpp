#include "pageview/ui/imageview.h"

#include "pageview/viewgeometry.h"
#include "platform/error.h"
#include "platform/twips.h"
#include "platform/ui/interaction.h"
#include "platform/ui/mousestate.h"

#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QVarLengthArray>
#include <QWheelEvent>
#include <QtMath>

#include <cmath>
#include <new>

namespace qen {

namespace {
const QColor Background(0x80, 0x80, 0x80);

// A gray part in the screen's format, for Qt to draw; any other part as it is.
QImage widened(const QImage &part) {
    if (part.format() != QImage::Format_Grayscale8)
        return part;
    QImage out(part.size(), render::ScreenFormat);
    if (!out.isNull())
        render::grayOntoScreen(part, part.rect(), out, {0, 0});
    return out;
}

// Paints `draw` (view pixels) from `source` (pixels of `part`, the device pixels of `draw`),
// and the tints over it. A gray viewport goes straight into the window's backing store,
// widened as it is written, where painting reaches that store pixel for pixel, with the
// tints blended in on the way: the store is written past the caches, and blending into it
// afterwards would fetch every marked row back from memory. Anywhere else (a grab, a
// fractional scale, colour) both are drawn through Qt.
void paintViewport(QPainter &painter, const QRegion &exposed, const QImage &part, const QRect &draw,
                   const QRectF &source, const ViewTints &tints) {
    auto throughQt = [&] {
        painter.setPen(Qt::NoPen);
        for (const render::Tint &t : tints)
            painter.fillRect(t.rect, t.colour);
    };
    if (part.format() != QImage::Format_Grayscale8) {
        painter.drawImage(QRectF(draw), part, source);
        throughQt();
        return;
    }
    QPaintEngine *engine = painter.paintEngine();
    QPaintDevice *device = engine ? engine->paintDevice() : nullptr;
    const QTransform toDevice = painter.deviceTransform();
    const QRectF onDevice = toDevice.mapRect(QRectF(draw));
    const bool pixelForPixel = onDevice == QRectF(onDevice.toRect()) &&
                               source == QRectF(source.toRect()) &&
                               onDevice.size() == source.size();
    if (engine && engine->type() == QPaintEngine::Raster && device &&
        device->devType() == QInternal::Image && toDevice.type() <= QTransform::TxScale &&
        !painter.hasClipping() && pixelForPixel) {
        auto *screen = static_cast<QImage *>(device);
        if (screen->format() == QImage::Format_RGB32 ||
            screen->format() == QImage::Format_ARGB32_Premultiplied) {
            // Only what Qt asked to be painted: the rest of the store is other widgets'.
            QRegion region = toDevice.map(exposed & draw) & onDevice.toRect() & screen->rect();
            if (!engine->systemClip().isEmpty())
                region &= engine->systemClip();
            const QPoint toSource = source.toRect().topLeft() - onDevice.toRect().topLeft();
            ViewTints onScreen;
            for (const render::Tint &t : tints)
                onScreen.append({toDevice.mapRect(QRectF(t.rect)).toAlignedRect(), t.colour});
            for (const QRect &r : region)
                render::grayOntoScreen(part, r.translated(toSource), *screen, r.topLeft(),
                                       onScreen.constData(), int(onScreen.size()));
            return;
        }
    }
    const QRect copied = source.toAlignedRect() & part.rect();
    painter.drawImage(QRectF(draw), widened(part.copy(copied)),
                      source.translated(-QPointF(copied.topLeft())));
    throughQt();
}

} // namespace

ImageView::ImageView(QWidget *parent) : QAbstractScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
}

ImageView::~ImageView() = default;

bool ImageView::setFileName(const QString &path, ImageDocument::Threads threads) {
    m_lastError.clear();
    try {
        m_document.load(path, threads);
    } catch (const Error &e) {
        m_document.clear();
        m_lastError = e.description();
    } catch (const std::bad_alloc &) {
        m_document.clear();
        m_lastError = QStringLiteral("无法打开图像文件 %1：内存不足").arg(path);
    }
    pageChanged();
    return m_lastError.isEmpty();
}

void ImageView::setFileName(const QString &path, const QImage &decoded,
                            render::RenderedViewport viewport, QImage half) {
    m_lastError.clear();
    m_document.adopt(path, decoded);
    pageChanged();
    m_cache.seedHalf(m_document.image(), m_document.revision(), std::move(half));
    const render::RenderedViewport wanted = viewportToRender();
    if (viewport.zoom == wanted.zoom && viewport.smooth == wanted.smooth)
        m_cache.seed(m_document.image(), m_document.revision(), std::move(viewport));
}

render::RenderedViewport ImageView::viewportToRender() const {
    const qreal dpr = viewport()->devicePixelRatioF();
    render::RenderedViewport v;
    v.zoom = m_zoom * dpr;
    v.smooth = m_smooth;
    // One pixel more than the viewport, as painting rounds a scaled screen outwards.
    v.rect =
        QRect(0, 0, qCeil(viewport()->width() * dpr) + 1, qCeil(viewport()->height() * dpr) + 1);
    return v;
}

bool ImageView::reload() {
    m_lastError.clear();
    try {
        m_document.reload();
    } catch (const Error &e) {
        m_lastError = e.description();
    } catch (const std::bad_alloc &) {
        m_lastError = QStringLiteral("无法打开图像文件 %1：内存不足").arg(fileName());
    }
    m_cache.clear();
    m_mirrored = m_flipped = false; // the file's pixels as they are: the marks' own place
    layoutScrollBars();             // the file may have changed size on disk
    clipBandToPage();
    viewport()->update();
    return m_lastError.isEmpty();
}

void ImageView::setImage(const QImage &image) {
    m_lastError.clear();
    m_document.setImage(image);
    pageChanged();
}

// A new page starts at its top-left corner; the zoom and the band stay, so that the user can
// take the same area of several pages in turn.
void ImageView::pageChanged() {
    const QPoint before = scroll();
    m_marks[0] = m_marks[1] = {};
    m_mirrored = m_flipped = false;
    m_cache.dropHalf();
    if (hasImage())
        m_cache.invalidate();
    else
        m_cache.clear();
    m_relayout = true;
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    layoutScrollBars();
    m_relayout = false;
    viewport()->update();
    if (scroll() != before)
        emit scrolled();
    clipBandToPage();
    emit pageReplaced();
}

void ImageView::clipBandToPage() {
    if (m_band.isEmpty())
        return;
    const QRect kept = m_band & QRect(QPoint(0, 0), m_document.size());
    if (kept == m_band)
        return;
    m_band = kept.isEmpty() ? QRect() : kept;
    emit selectionClipped();
}

void ImageView::adjusted() {
    // A mirror changes neither size nor scroll range, but the pixels under the view changed.
    layoutScrollBars();
    viewport()->update();
}

bool ImageView::zoomToFactor(double factor, const QPoint &anchor) {
    if (!viewgeom::acceptableZoom(factor))
        return false;
    const bool changed = factor != m_zoom;
    const QPoint before = scroll();
    const QPoint after = viewgeom::anchoredScroll(before, anchor, m_zoom, factor);
    m_zoom = factor;
    m_relayout = true;
    layoutScrollBars();
    horizontalScrollBar()->setValue(after.x());
    verticalScrollBar()->setValue(after.y());
    m_relayout = false;
    viewport()->update();
    if (scroll() != before)
        emit scrolled();
    if (changed)
        emit viewportToRenderChanged();
    return true;
}

bool ImageView::zoomToFit(viewgeom::FitMode mode) {
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const double zoom = viewgeom::fitZoom(mode, m_document.size(), maximumViewportSize(), bar);
    if (zoom <= 0)
        return false;
    return zoomToFactor(zoom);
}

int ImageView::scrollX() const {
    return horizontalScrollBar()->value();
}
int ImageView::scrollY() const {
    return verticalScrollBar()->value();
}
void ImageView::setScrollX(int x) {
    horizontalScrollBar()->setValue(x);
}
void ImageView::setScrollY(int y) {
    verticalScrollBar()->setValue(y);
}

void ImageView::layoutScrollBars() {
    // A scroll bar that appears or goes shrinks or grows the viewport later, through the event
    // loop; the viewport's resize then lays the ranges out again.
    const QSize scaled = viewgeom::scaledSize(m_document.size(), m_zoom);
    const QPoint max = viewgeom::maxScroll(scaled, viewport()->size());
    horizontalScrollBar()->setRange(0, max.x());
    verticalScrollBar()->setRange(0, max.y());
    horizontalScrollBar()->setPageStep(std::max(1, viewport()->width()));
    verticalScrollBar()->setPageStep(std::max(1, viewport()->height()));
}

void ImageView::scrollContentsBy(int dx, int dy) {
    if (!m_relayout) {
        // Move what is on screen and paint only the strip that came into view.
        viewport()->scroll(dx, dy, viewport()->rect());
        emit scrolled();
    }
}

// Called for the viewport's resizes as well (a scroll bar that comes or goes).
void ImageView::resizeEvent(QResizeEvent *event) {
    QAbstractScrollArea::resizeEvent(event);
    layoutScrollBars();
    emit viewportToRenderChanged();
}

void ImageView::setSelectionBand(bool on, int x, int y) {
    m_band = QRect();
    if (on && hasImage()) {
        m_bandAnchor = QPoint(x, y) + scroll();
        m_band = viewgeom::bandToImage(m_bandAnchor, m_bandAnchor, {}, m_zoom, m_document.size());
    }
    viewport()->update();
}

void ImageView::selectionBandExtend(int x, int y) {
    if (!hasImage())
        return;
    m_band =
        viewgeom::bandToImage(m_bandAnchor, QPoint(x, y) + scroll(), {}, m_zoom, m_document.size());
    viewport()->update();
}

void ImageView::setSelectionRect(const QRect &imageRect) {
    m_band = hasImage() ? imageRect & QRect(QPoint(0, 0), m_document.size()) : QRect();
    viewport()->update();
}

void ImageView::saveFile() const {
    m_document.write(m_saveFileName, m_saveFileType);
}

void ImageView::copyToClipboard(Interaction &interaction) const {
    if (!hasImage())
        return;
    const QString refusal = m_document.wholePageRefusal(QStringLiteral("复制整页"));
    if (!refusal.isEmpty()) {
        interaction.error(window(), refusal);
        return;
    }
    interaction.setClipboardImage(m_document.image());
}

void ImageView::finishCrop() {
    m_band = QRect();
    setScrollX(0);
    setScrollY(0);
    viewport()->update();
}

void ImageView::refresh() {
    viewport()->update();
}

void ImageView::setMousePointer(MousePointer pointer) {
    m_mousePointer = pointer;
    switch (pointer) {
    case MousePointer::Cross:
        viewport()->setCursor(Qt::CrossCursor);
        break;
    case MousePointer::Text:
        viewport()->setCursor(Qt::IBeamCursor);
        break;
    case MousePointer::Hourglass:
        viewport()->setCursor(Qt::WaitCursor);
        break;
    case MousePointer::Hand:
        viewport()->setCursor(Qt::OpenHandCursor);
        break;
    case MousePointer::Default:
        viewport()->unsetCursor();
        break;
    }
}

void ImageView::setGrayscaleMode(int mode) {
    const bool changed = m_smooth != (mode != 0);
    m_smooth = mode != 0;
    viewport()->update();
    if (changed)
        emit viewportToRenderChanged();
}

void ImageView::prepareGrayscale() {
    m_cache.invalidate();
    viewport()->update();
}

void ImageView::adjust(const std::function<void(QImage &)> &op, PageFlip flip) {
    if (m_document.large())
        return; // the overview is not the page: changing it would change nothing real
    m_document.adjust(op);
    m_mirrored ^= flip == PageFlip::Horizontal;
    m_flipped ^= flip == PageFlip::Vertical;
    adjusted();
}

void ImageView::setMarks(MarkSet set, QList<QRect> marks, QList<QRect> strong) {
    Marks &m = m_marks[int(set)];
    if (marks == m.weak && strong == m.strong)
        return;
    // Only what changed is painted again: the next hit on a page is a few words' worth of
    // pixels, not the whole view.
    QRegion changed;
    auto differ = [&](const QList<QRect> &from, const QList<QRect> &to) {
        for (const QRect &r : from)
            if (!to.contains(r))
                changed += pageToView(r);
    };
    differ(m.weak, marks);
    differ(marks, m.weak);
    differ(m.strong, strong);
    differ(strong, m.strong);
    m.weak = std::move(marks);
    m.strong = std::move(strong);
    viewport()->update(changed);
}

QRect ImageView::pageToShown(const QRect &r) const {
    const QSize size = m_document.size();
    QRect out = r;
    if (m_mirrored)
        out.moveLeft(size.width() - r.left() - r.width());
    if (m_flipped)
        out.moveTop(size.height() - r.top() - r.height());
    return out;
}

QRect ImageView::pageToView(const QRect &pageRect) const {
    return viewgeom::imageToView(pageToShown(pageRect), scroll(), m_zoom);
}

QPoint ImageView::viewToPage(QPoint viewPixel) const {
    const QPoint scaled = viewPixel + scroll();
    QPoint p(int(std::floor(scaled.x() / m_zoom)), int(std::floor(scaled.y() / m_zoom)));
    const QSize size = m_document.size();
    if (m_mirrored)
        p.setX(size.width() - 1 - p.x());
    if (m_flipped)
        p.setY(size.height() - 1 - p.y());
    return p;
}

void ImageView::ensureVisible(const QRect &pageRect) {
    const QRect r = pageToView(pageRect);
    const QRect area = viewport()->rect();
    // A margin of a line or so, so that the mark is not left flush with the edge.
    const int margin = std::min(r.height(), area.height() / 4);
    auto shift = [](int low, int high, int areaLow, int areaHigh, int pad) {
        if (high - low > areaHigh - areaLow || low - pad < areaLow)
            return low - pad - areaLow;
        if (high + pad > areaHigh)
            return high + pad - areaHigh;
        return 0;
    };
    const int dx = shift(r.left(), r.right(), area.left(), area.right(), margin);
    const int dy = shift(r.top(), r.bottom(), area.top(), area.bottom(), margin);
    if (dx)
        setScrollX(scrollX() + dx);
    if (dy)
        setScrollY(scrollY() + dy);
}

ViewTints ImageView::tintsIn(const QRect &exposed) const {
    // Found text in amber, selected text in the desktop's selection blue, the strong ones
    // more opaque.
    static const QColor colours[2][2] = {{QColor(255, 190, 0, 80), QColor(255, 110, 0, 140)},
                                         {QColor(48, 140, 255, 70), QColor(48, 140, 255, 110)}};
    ViewTints tints;
    for (int set = 0; set < 2; ++set) {
        for (int strength = 0; strength < 2; ++strength) {
            for (const QRect &r : strength ? m_marks[set].strong : m_marks[set].weak) {
                const QRect v = pageToView(r) & exposed;
                if (!v.isEmpty())
                    tints.append({v, colours[set][strength]});
            }
        }
    }
    return tints;
}

double ImageView::imageWidthTwips() const {
    const int dpm = m_document.image().dotsPerMeterX();
    const double dpi = dpm > 0 ? dpm * 0.0254 : 96.0;
    return m_document.size().width() * twips::PerInch / dpi;
}

double ImageView::imageHeightTwips() const {
    const int dpm = m_document.image().dotsPerMeterY();
    const double dpi = dpm > 0 ? dpm * 0.0254 : 96.0;
    return m_document.size().height() * twips::PerInch / dpi;
}

void ImageView::paintEvent(QPaintEvent *event) {
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    const QPoint offset = scroll();
    const QSize scaled = viewgeom::scaledSize(m_document.size(), m_zoom);
    const QRect pageOnScreen = QRect(QPoint(0, 0), scaled).translated(-offset);
    const QRect visible = pageOnScreen & viewport()->rect();

    for (const QRect &r : QRegion(exposed).subtracted(QRegion(visible)))
        painter.fillRect(r, Background);
    if (visible.isEmpty())
        return;

    // On a scaled screen the page is rendered at device pixels, so it stays as sharp as at
    // 1x instead of being blown up from logical pixels.
    const qreal dpr = viewport()->devicePixelRatioF();
    const QRect draw = exposed & visible;
    const ViewTints tints = tintsIn(draw);
    if (dpr == 1.0) {
        const QImage &part = m_cache.get(m_document.image(), m_document.revision(), m_zoom,
                                         m_smooth, visible.translated(offset), m_document.large());
        if (!part.isNull() && !draw.isEmpty())
            paintViewport(painter, event->region(), part, draw,
                          QRectF(draw.translated(-visible.topLeft())), tints);
    } else {
        const double deviceZoom = m_zoom * dpr;
        const QRect devicePage(QPoint(0, 0), viewgeom::scaledSize(m_document.size(), deviceZoom));
        const QRectF logical = QRectF(visible.translated(offset));
        const QRect deviceVisible =
            QRect(QPoint(qFloor(logical.left() * dpr), qFloor(logical.top() * dpr)),
                  QPoint(qCeil(logical.right() * dpr), qCeil(logical.bottom() * dpr))) &
            devicePage;
        const QImage &part = m_cache.get(m_document.image(), m_document.revision(), deviceZoom,
                                         m_smooth, deviceVisible, m_document.large());
        if (!part.isNull() && !draw.isEmpty()) {
            const QRectF source(QPointF(draw.translated(offset).topLeft()) * dpr -
                                    QPointF(deviceVisible.topLeft()),
                                QSizeF(draw.size()) * dpr);
            paintViewport(painter, event->region(), part, draw, source, tints);
        }
    }

    if (!m_band.isEmpty()) {
        const QRect band = viewgeom::imageToView(m_band, offset, m_zoom);
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(band);
        painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
        painter.drawRect(band);
    }
}

void ImageView::emitMouse(QMouseEvent *event, int kind) {
    const QPointF p = event->position();
    const double x = p.x() * twipsPerPixelX(viewport());
    const double y = p.y() * twipsPerPixelY(viewport());
    const int shift = shiftState(event->modifiers());
    switch (kind) {
    case 0:
        emit mouseDown(buttonSet(event->button()), shift, x, y);
        break;
    case 1:
        emit mouseMove(buttonSet(event->buttons()), shift, x, y);
        break;
    default:
        emit mouseUp(buttonSet(event->button()), shift, x, y);
        break;
    }
}

void ImageView::mousePressEvent(QMouseEvent *event) {
    emitMouse(event, 0);
}
void ImageView::mouseDoubleClickEvent(QMouseEvent *event) {
    emitMouse(event, 0);
}
void ImageView::mouseMoveEvent(QMouseEvent *event) {
    emitMouse(event, 1);
}
void ImageView::mouseReleaseEvent(QMouseEvent *event) {
    emitMouse(event, 2);
}

void ImageView::wheelEvent(QWheelEvent *event) {
    const QPoint anchor = event->position().toPoint();
    // One notch of a plain wheel is 120; fine wheels and touchpads send parts of one.
    const double notches = event->angleDelta().y() / 120.0;
    if (event->modifiers() & Qt::ControlModifier) {
        if (notches != 0)
            emit zoomWheel(notches, anchor);
        event->accept();
        return;
    }
    QScrollBar *bar = verticalScrollBar();
    const int direction = notches < 0 ? 1 : notches > 0 ? -1 : 0;
    const bool atEdge = direction > 0 ? bar->value() >= bar->maximum() : bar->value() <= 0;
    if (direction == 0 || !atEdge || event->phase() == Qt::ScrollMomentum) {
        m_notchesPastEdge = 0;
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    // At the edge: the first notch only stops there, so a page never turns by accident.
    if (m_notchesPastEdge * direction < 0)
        m_notchesPastEdge = 0;
    m_notchesPastEdge += direction;
    if (std::abs(m_notchesPastEdge) >= 2) {
        m_notchesPastEdge = 0;
        emit wheeledPastEdge(direction);
    }
    event->accept();
}

bool ImageView::viewportEvent(QEvent *event) {
    if (event->type() == QEvent::NativeGesture) {
        const auto *gesture = static_cast<QNativeGestureEvent *>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            emit zoomPinch(gesture->value(),
                           viewport()->mapFromGlobal(gesture->globalPosition()).toPoint());
            return true;
        }
    }
    return QAbstractScrollArea::viewportEvent(event);
}

} // namespace qen
