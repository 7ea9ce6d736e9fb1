#include "imaging/ui/imagetools.h"

#include "articles/imagedocument.h"
#include "imaging/adjustments.h"
#include "imaging/cropfile.h"
#include "pageview/shownview.h"
#include "pageview/ui/imageview.h"
#include "pageview/ui/selectionshape.h"
#include "pageview/viewgeometry.h"
#include "platform/error.h"
#include "platform/ui/interaction.h"

#include <QGuiApplication>
#include <QStyleHints>

namespace qen {

const std::vector<ImageTools::Adjustment> &ImageTools::adjustments() {
    static const std::vector<Adjustment> table = {
        {"mnuTool_Brighter", true,
         [](ImageView &v) {
             v.adjust([](QImage &i) { qen::adjustments::adjustBrightness(i, 70); });
         }},
        {"mnuTool_Hreverse", true,
         [](ImageView &v) { v.adjust(qen::adjustments::mirrorHorizontal, PageFlip::Horizontal); }},
        // Flipping is quick enough that a busy window would only flicker.
        {"mnuTool_UpDown", false,
         [](ImageView &v) { v.adjust(qen::adjustments::flipVertical, PageFlip::Vertical); }},
        {"mnuTool_BlackWhiteReverse", true,
         [](ImageView &v) { v.adjust(qen::adjustments::negate); }},
        {"mnuTool_Contrast", true,
         [](ImageView &v) { v.adjust(qen::adjustments::enhanceContrast); }},
        {"mnuTool_Intensify", true,
         [](ImageView &v) { v.adjust([](QImage &i) { qen::adjustments::intensify(i, 2.0); }); }},
    };
    return table;
}

ImageTools::ImageTools(const WorkFolders &folders, Interaction &interaction, Controls controls,
                       QObject *parent)
    : QObject(parent), m_folders(folders), m_interaction(interaction), m_controls(controls),
      m_gesture(QGuiApplication::styleHints()->startDragTime(),
                QGuiApplication::styleHints()->startDragDistance()) {
    m_clock.start();
    connect(m_controls.imgEdit, &ImageView::selectionClipped, this, &ImageTools::followClippedBand);
}

void ImageTools::adjust(const Adjustment &adjustment) {
    ImageView &view = *m_controls.imgEdit;
    // Said before anything runs: the page is shown from a reduced copy and read from its file
    // in parts, and an adjustment of the copy would be lost at the next read.
    const QString refusal = view.document().wholePageRefusal(QStringLiteral("调整图像"));
    if (!refusal.isEmpty()) {
        m_interaction.error(m_controls.window, refusal);
        return;
    }
    if (adjustment.busy && m_hooks.busy)
        m_hooks.busy(busyText(), [&] { adjustment.apply(view); });
    else
        adjustment.apply(view);
}

void ImageTools::undo() {
    ImageView &view = *m_controls.imgEdit;
    if (m_controls.shown->recordShown() || view.fileName().isEmpty())
        return;
    if (!view.reload())
        m_interaction.error(m_controls.window, view.lastError());
}

void ImageTools::setGrayscale(bool on) {
    ImageView &view = *m_controls.imgEdit;
    view.prepareGrayscale();
    view.setGrayscaleMode(on ? 1 : 0);
    view.refresh();
}

void ImageTools::selectionModeChanged(bool on) {
    m_controls.imgEdit->setSelectionBand(false);
    showRectangle(false);
    m_controls.imgEdit->setMousePointer(on ? MousePointer::Cross : MousePointer::Default);
}

void ImageTools::copyCurrPage() {
    ImageView &view = *m_controls.imgEdit;
    if (m_controls.shown->recordShown())
        return;
    view.setSelectionBand(false);
    view.copyToClipboard(m_interaction);
}

void ImageTools::copySelArea() {
    if (CropSelectionToFile())
        m_controls.imgHide->copyToClipboard(m_interaction);
}

QString ImageTools::cropPath() const {
    return cropfile::path(m_folders.appPath());
}

bool ImageTools::CropSelectionToFile() {
    const QString path = cropPath();
    ImageView &edit = *m_controls.imgEdit;
    ImageView &hide = *m_controls.imgHide;
    try {
        // The old crop goes first, whatever happens next, so recognition never reads it again.
        cropfile::prepare(path);
    } catch (const Error &e) {
        m_interaction.error(m_controls.window, e.description());
        return false;
    }
    if (m_controls.shown->recordShown() || !edit.hasImage())
        return false;
    try {
        QString error;
        const QImage part = edit.selectionImage(&error);
        if (part.isNull() && !error.isEmpty())
            throw Error(error);
        hide.setImage(part);
        hide.setSaveFileType(ImageFileType::Tiff);
        hide.setSaveFileName(path);
        hide.saveFile();
    } catch (const Error &e) {
        m_interaction.error(m_controls.window, cropfile::failureText(path, e.description()));
        return false;
    }
    if (!hide.setFileName(path)) {
        m_interaction.error(m_controls.window, cropfile::failureText(path, hide.lastError()));
        return false;
    }
    hide.finishCrop();
    return true;
}

selection::Scale ImageTools::scale() const {
    const QWidget *area = m_controls.imgEdit->clientArea();
    return {twipsPerPixelX(area), twipsPerPixelY(area)};
}

bool ImageTools::selecting() const {
    return m_hooks.selectionMode && m_hooks.selectionMode();
}

void ImageTools::showRectangle(bool shown) {
    m_controls.ctl->setShown(shown);
    m_controls.ctl->setState(shown ? 1 : 0);
}

void ImageTools::mouseDown(int button, int, double x, double y) {
    if (button != 1)
        return;
    m_anchor = selection::pixelAt(x, y, scale());
    m_gesture.press(m_anchor, m_clock.elapsed());
    const ImageView &view = *m_controls.imgEdit;
    m_pressBand = view.selectionRect();
    m_pressOnBand =
        viewgeom::imageToView(m_pressBand, {view.scrollX(), view.scrollY()}, view.zoomFactor())
            .contains(m_anchor);
    if (selecting()) {
        // The rectangle shows at its last place until the pointer moves.
        showRectangle(true);
        m_controls.imgEdit->setSelectionBand(false);
    } else {
        m_controls.imgEdit->setMousePointer(MousePointer::Hand);
        showRectangle(false);
    }
}

void ImageTools::mouseMove(int button, int, double x, double y) {
    if (button != 1)
        return;
    const selection::Scale t = scale();
    switch (m_gesture.move(selection::pixelAt(x, y, t), m_clock.elapsed())) {
    case pagedrag::Gesture::Move::DragOut:
        dragOut();
        return;
    case pagedrag::Gesture::Move::Spent:
        return;
    default:
        break;
    }
    if (selecting()) {
        const TwipsRect r = selection::drawnRectangle(m_anchor, x, y, t);
        m_controls.ctl->move(r.left, r.top, r.width, r.height);
        return;
    }
    ImageView &view = *m_controls.imgEdit;
    view.setMousePointer(MousePointer::Hand);
    const QPoint scroll =
        selection::pannedScroll({view.scrollX(), view.scrollY()}, m_anchor, x, y, t);
    view.setScrollY(scroll.y());
    view.setScrollX(scroll.x());
    m_anchor = selection::pixelAt(x, y, t);
}

void ImageTools::mouseUp(int button, int, double, double) {
    const bool draggedOut = m_gesture.draggedOut();
    m_gesture.release();
    if (button == 1 && selecting() && !draggedOut)
        commitRectangle();
}

void ImageTools::handleDrag(int button, int, double x, double y, int handle) {
    if (button != 1)
        return;
    m_controls.imgEdit->setSelectionBand(false);
    if (const auto r = selection::draggedRectangle(geometryTwips(m_controls.ctl), x, y, handle))
        m_controls.ctl->move(r->left, r->top, r->width, r->height);
}

void ImageTools::handleDragEnd() {
    commitRectangle();
}

void ImageTools::commitRectangle() {
    const auto c = selection::bandCorners(geometryTwips(m_controls.ctl), scale());
    m_controls.imgEdit->setSelectionBand(true, c.start.x(), c.start.y());
    m_controls.imgEdit->selectionBandExtend(c.end.x(), c.end.y());
}

void ImageTools::dragOut() {
    ImageView &view = *m_controls.imgEdit;
    if (m_controls.shown->recordShown() || !view.hasImage())
        return;
    // The press began a new band, as a press does; a drag leaves the old one as it was.
    if (!m_pressBand.isEmpty()) {
        view.setSelectionRect(m_pressBand);
        if (selecting())
            showRectangle(true);
    }
    followClippedBand();
    view.setMousePointer(selecting() ? MousePointer::Cross : MousePointer::Default);
    const bool band = m_pressOnBand && !m_pressBand.isEmpty();
    const QString refusal =
        band ? QString() : view.document().wholePageRefusal(QStringLiteral("拖出整页"));
    QString error;
    const QImage image = band                ? view.selectionImage(&error)
                         : refusal.isEmpty() ? view.image()
                                             : QImage();
    if (image.isNull()) {
        m_interaction.error(m_controls.window, refusal.isEmpty() ? error : refusal);
        return;
    }
    const QImage preview = image.scaled(QSize(160, 160).boundedTo(image.size()),
                                        Qt::KeepAspectRatio, Qt::SmoothTransformation);
    m_interaction.drag(view.viewport(),
                       new pagedrag::ImageMimeData(image, m_folders.temp(),
                                                   pagedrag::fileName(view.fileName(), band)),
                       preview);
}

void ImageTools::followClippedBand() {
    const ImageView &view = *m_controls.imgEdit;
    if (view.selectionRect().isEmpty()) {
        showRectangle(false);
        return;
    }
    const QRect shown = viewgeom::imageToView(view.selectionRect(),
                                              {view.scrollX(), view.scrollY()}, view.zoomFactor());
    const TwipsRect r = selection::rectangleAround(shown, scale());
    m_controls.ctl->move(r.left, r.top, r.width, r.height);
}

} // namespace qen
