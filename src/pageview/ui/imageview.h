#pragma once

#include "articles/imagedocument.h"
#include "pageview/pagerender.h"
#include "pageview/viewgeometry.h"
#include "pageview/viewportcache.h"
#include "platform/ui/twipsgeometry.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QImage>
#include <QList>
#include <QVarLengthArray>
#include <functional>

namespace qen {

// The marks being painted, in view pixels.
using ViewTints = QVarLengthArray<render::Tint, 64>;

class Interaction;

// The view's MousePointer values, by their codes.
enum class MousePointer { Default = 0, Cross = 2, Text = 3, Hourglass = 11, Hand = 20 };

// Which way an adjustment turns the page's pixels, so that marks set in the page file's
// pixels stay on the ink.
enum class PageFlip { None, Horizontal, Vertical };

// The page view (imgEdit) and its hidden twin (imgHide). The page lies at the view's top-left
// corner, scaled by the zoom factor; only the visible part is ever scaled, and the scaled
// viewport is kept for repaints (a scroll renders just the strip that comes into view).
//
// Units: scroll offsets and band corners come in view pixels, the band is kept in image
// pixels, mouse events and geometry are in twips of the view.
class ImageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ImageView(QWidget *parent = nullptr);
    ~ImageView() override;

    // FileName. "" empties the view. On failure the view is empty, the file name is "" and
    // lastError() names the file and what is wrong. The zoom factor is kept; the scroll
    // offsets go back to the top-left corner. The band stays on the same image pixels, clipped
    // to the new page (selectionClipped() tells when that changed it).
    // `threads` says whether the page may be decoded on two (see ImageDocument::Threads).
    bool setFileName(const QString &path,
                     ImageDocument::Threads threads = ImageDocument::Threads::One);
    // The same with the page already read from path (by ImageDocument::readFile), and
    // possibly its first viewport already rendered (used when it matches the view's zoom)
    // and its half-size copy (render::halfSize) made.
    void setFileName(const QString &path, const QImage &decoded,
                     render::RenderedViewport viewport = {}, QImage half = {});
    // The zoom, smoothing and size in device pixels a viewport rendered ahead must have;
    // viewportToRenderChanged() tells when it may have changed.
    render::RenderedViewport viewportToRender() const;
    // Loads the shown file again, without any adjustment; zoom, scroll offsets and band stay.
    // When the file can no longer be read the page stays as it is and lastError() says why.
    bool reload();
    QString fileName() const { return m_document.fileName(); }
    QString lastError() const { return m_lastError; }

    // ImageHandle: takes an image as the page (the file name becomes ""); the band is kept as
    // for a new file.
    void setImage(const QImage &image);
    // The page as the view holds it, adjustments included. Also the Picture for printing.
    QImage image() const { return m_document.image(); }
    QImage picture() const { return m_document.image(); }
    bool hasImage() const { return !m_document.isNull(); }
    const ImageDocument &document() const { return m_document; }
    // SelectionImageHandle: a new image of the band's pixels at image resolution; the whole
    // page when there is no band, null when the view is empty.
    // For a page too large to hold whole, the band is read from its file; null with *error
    // when it cannot be.
    QImage selectionImage(QString *error = nullptr) const { return m_document.copy(m_band, error); }

    // ZoomFactor, ZoomToFactor, ZoomToFit. A factor outside [0.01, 100] or not a number is
    // refused (false) and nothing changes; so is a fit of an empty page.
    double zoomFactor() const { return m_zoom; }
    // `anchor`: the view pixel whose page point stays where it is (the top-left by default).
    bool zoomToFactor(double factor, const QPoint &anchor = {});
    bool zoomToFit(viewgeom::FitMode mode);

    // ScrollX, ScrollY in screen pixels, clamped to the page; every change emits scrolled().
    int scrollX() const;
    int scrollY() const;
    void setScrollX(int x);
    void setScrollY(int y);

    // SelectionBand(False) removes the band; SelectionBand(True, x, y) starts one at view
    // pixel (x, y); SelectionBandExtend(x, y) sets its opposite corner. Corners in any order.
    void setSelectionBand(bool on, int x = 0, int y = 0);
    void selectionBandExtend(int x, int y);
    // Puts a band taken before back, in image pixels, clipped to the page.
    void setSelectionRect(const QRect &imageRect);
    // SelectionLeft/Top/Width/Height in image pixels; 0 wide and high when there is none.
    QRect selectionRect() const { return m_band; }
    int selectionLeft() const { return m_band.left(); }
    int selectionTop() const { return m_band.top(); }
    int selectionWidth() const { return m_band.width(); }
    int selectionHeight() const { return m_band.height(); }

    // SaveFileName, SaveFileType. SaveFile writes what the view holds (TIFF as G4 for bilevel
    // pages, LZW otherwise); it throws qen::Error with a description naming the file.
    void setSaveFileName(const QString &path) { m_saveFileName = path; }
    QString saveFileName() const { return m_saveFileName; }
    void setSaveFileType(ImageFileType type) { m_saveFileType = type; }
    ImageFileType saveFileType() const { return m_saveFileType; }
    void saveFile() const;

    // CopyToClipboard: the whole page as a bitmap, through the program's interaction layer.
    // Does nothing when the view is empty; says why not for a page too large to hold whole.
    void copyToClipboard(Interaction &interaction) const;
    // FinishCrop: ends a crop on the hidden twin: no band, scroll offsets at the origin.
    void finishCrop();
    // Refresh: repaint.
    void refresh();

    void setMousePointer(MousePointer pointer);
    MousePointer mousePointer() const { return m_mousePointer; }

    // GrayscaleMode 1 (the default): pages are shown smoothed, so that a bilevel page shrunk
    // below 100 % shows its thin strokes as gray instead of dropping them. 0: every screen
    // pixel shows the page pixel under it, black or white. PrepareGrayscale drops the scaled
    // viewport so that the next paint uses the mode.
    void setGrayscaleMode(int mode);
    int grayscaleMode() const { return m_smooth ? 1 : 0; }
    void prepareGrayscale();

    // Applies an in-place adjustment (imaging/adjustments.h says what each does to a page)
    // and repaints. A mirror or flip names itself, so the marks follow it.
    void adjust(const std::function<void(QImage &)> &op, PageFlip flip = PageFlip::None);

    // Marks over the ink, one set for found text and one for selected text: boxes in the page
    // file's pixels, before any mirror or flip, drawn translucent, the strong ones (the
    // current hit, the selection) more so. A new page drops them; zoom, scroll, fit and
    // adjustments keep them where the ink is.
    enum class MarkSet { Found, Selected };
    void setMarks(MarkSet set, QList<QRect> marks, QList<QRect> strong = {});
    const QList<QRect> &marks(MarkSet set) const { return m_marks[int(set)].weak; }
    const QList<QRect> &strongMarks(MarkSet set) const { return m_marks[int(set)].strong; }
    // Between the page file's pixels and view pixels, through the mirror and flip shown.
    QRect pageToView(const QRect &pageRect) const;
    QPoint viewToPage(QPoint viewPixel) const;
    // Scrolls as little as it takes to bring the page rectangle into view.
    void ensureVisible(const QRect &pageRect);

    // ImageWidthTwips, ImageHeightTwips: the page's size on paper at its own resolution
    // (96 dpi when the file names none); 0 when empty.
    double imageWidthTwips() const;
    double imageHeightTwips() const;

    // Left/Top/Width/Height in twips of the parent; Left below 0 means parked.
    double leftTwips() const { return qen::geometryTwips(this).left; }
    double topTwips() const { return qen::geometryTwips(this).top; }
    double widthTwips() const { return qen::geometryTwips(this).width; }
    double heightTwips() const { return qen::geometryTwips(this).height; }
    bool moveTwips(const TwipsRect &rect) { return qen::moveTwips(this, rect); }
    void setLeftTwips(double left) { qen::setLeftTwips(this, left); }

    // Where the selection rectangle and other overlays belong: the client area whose pixels
    // the band corners and mouse positions are given in.
    QWidget *clientArea() const { return viewport(); }

    // Bytes held for the page, its half-size copy and its scaled viewport, for measurements.
    qint64 memoryBytes() const {
        return m_document.memoryBytes() + m_cache.bytes() + m_cache.halfBytes();
    }
    const render::ViewportCache &viewportCache() const { return m_cache; }

signals:
    // Button set: 1 left, 2 right, 4 middle; shift state: 1 Shift, 2 Ctrl, 4 Alt; x and y in
    // twips of the client area.
    void mouseDown(int button, int shift, double x, double y);
    void mouseMove(int button, int shift, double x, double y);
    void mouseUp(int button, int shift, double x, double y);
    void scrolled();
    // The zoom, the display mode or the viewport's size changed: viewports rendered ahead
    // for the old values are of no use.
    void viewportToRenderChanged();
    // A new page clipped the band to its size or, lying wholly outside it, removed it.
    void selectionClipped();
    // Ctrl+wheel: notches turned (fractions from fine wheels and touchpads; up is positive)
    // over view pixel `anchor`.
    void zoomWheel(double notches, QPoint anchor);
    // A pinch: the factor grows by `delta` (0.1 is 10 % larger) around `anchor`.
    void zoomPinch(double delta, QPoint anchor);
    // The wheel turned a second notch past the page's bottom (+1) or top (-1).
    void wheeledPastEdge(int direction);
    // Another page (or none) is shown; its marks are gone.
    void pageReplaced();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    void pageChanged();
    void clipBandToPage();
    void adjusted();
    void layoutScrollBars();
    QPoint scroll() const { return {scrollX(), scrollY()}; }
    void emitMouse(QMouseEvent *event, int kind);

    QRect pageToShown(const QRect &r) const;
    ViewTints tintsIn(const QRect &exposed) const;

    ImageDocument m_document;
    render::ViewportCache m_cache;
    struct Marks {
        QList<QRect> weak, strong;
    };
    Marks m_marks[2];
    bool m_mirrored = false, m_flipped = false;
    QString m_lastError;
    double m_zoom = 1.0;
    bool m_smooth = true;
    QRect m_band;
    QPoint m_bandAnchor; // in scaled-page pixels, so a scroll between start and extend is harmless
    bool m_relayout = false;
    QString m_saveFileName;
    ImageFileType m_saveFileType = ImageFileType::Tiff;
    MousePointer m_mousePointer = MousePointer::Default;
    // Notches turned against an edge the view already stands at; a second one turns a page.
    int m_notchesPastEdge = 0;
};

} // namespace qen
