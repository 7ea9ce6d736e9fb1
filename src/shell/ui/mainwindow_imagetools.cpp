// Image adjustments, undo, area selection and copy.
#include "imaging/ui/imagetools.h"
#include "pageview/ui/documents.h"
#include "pageview/ui/imageview.h"
#include "pageview/ui/selectionshape.h"
#include "shell/ui/busymessage.h"
#include "shell/ui/mainwindow.h"

#include <QAction>

namespace qen {

void MainWindow::wireImageTools() {
    m_imageTools = new ImageTools(m_folders, m_interaction,
                                  {this, m_imgEdit, m_imgHide, m_ctl, &m_documents->shown()}, this);
    QAction *selectArea = command(QStringLiteral("mnuTool_SelOCRArea"));
    m_imageTools->setHooks(
        {[](const QString &text, const std::function<void()> &work) {
             BusyMessageScope busy(text);
             work();
         },
         [selectArea] { return selectArea->isChecked() && selectArea->isEnabled(); }});

    for (const ImageTools::Adjustment &a : ImageTools::adjustments())
        connect(command(QString::fromLatin1(a.menuItem)), &QAction::triggered, m_imageTools,
                [this, &a] { m_imageTools->adjust(a); });
    connect(command(QStringLiteral("mnuTool_Undo")), &QAction::triggered, m_imageTools,
            &ImageTools::undo);
    connect(command(QStringLiteral("mnuView_Grayscale")), &QAction::triggered, m_imageTools,
            &ImageTools::setGrayscale);
    connect(command(QStringLiteral("mnuTool_CopyCurrPage")), &QAction::triggered, m_imageTools,
            &ImageTools::copyCurrPage);
    connect(command(QStringLiteral("mnuTool_CopySelArea")), &QAction::triggered, m_imageTools,
            &ImageTools::copySelArea);

    // Selection mode is the menu item's check mark; the toolbar button shows it pressed. The
    // button reaches the item through the toolbar dispatch, so it only follows here.
    QAction *selectButton = command(QStringLiteral("SelectArea"));
    selectArea->setCheckable(true);
    selectButton->setCheckable(true);
    connect(selectArea, &QAction::toggled, selectButton, &QAction::setChecked);
    connect(selectArea, &QAction::triggered, m_imageTools, &ImageTools::selectionModeChanged);

    connect(m_imgEdit, &ImageView::mouseDown, m_imageTools, &ImageTools::mouseDown);
    connect(m_imgEdit, &ImageView::mouseMove, m_imageTools, &ImageTools::mouseMove);
    connect(m_imgEdit, &ImageView::mouseUp, m_imageTools, &ImageTools::mouseUp);
    connect(m_ctl, &SelectionShape::handleDrag, m_imageTools, &ImageTools::handleDrag);
    connect(m_ctl, &SelectionShape::handleDragEnd, m_imageTools, &ImageTools::handleDragEnd);
}

} // namespace qen
