#include "platform/ui/interaction.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDrag>
#include <QFileDialog>
#include <QFontDialog>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QToolBar>

namespace qen {

void Interaction::information(QWidget *parent, const QString &text) {
    message(parent, QMessageBox::Information, QStringLiteral("提示信息"), text, QMessageBox::Ok,
            QMessageBox::Ok);
}

bool Interaction::question(QWidget *parent, const QString &text) {
    return message(parent, QMessageBox::Question, QStringLiteral("询问信息"), text,
                   QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

void Interaction::error(QWidget *parent, const QString &description) {
    message(parent, QMessageBox::Critical, QStringLiteral("error"), description, QMessageBox::Ok,
            QMessageBox::Ok);
}

QtInteraction::QtInteraction() = default;
QtInteraction::~QtInteraction() = default;

QMessageBox::StandardButton QtInteraction::message(QWidget *parent, QMessageBox::Icon icon,
                                                   const QString &title, const QString &text,
                                                   QMessageBox::StandardButtons buttons,
                                                   QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QStringList QtInteraction::openFileNames(QWidget *parent, const QString &title, const QString &dir,
                                         const QString &filter) {
    return QFileDialog::getOpenFileNames(parent, title, dir, filter);
}

QString QtInteraction::saveFileName(QWidget *parent, const QString &title, const QString &path,
                                    const QString &filter, QString *selectedFilter) {
    return QFileDialog::getSaveFileName(parent, title, path, filter, selectedFilter);
}

QString QtInteraction::existingDirectory(QWidget *parent, const QString &title,
                                         const QString &dir) {
    return QFileDialog::getExistingDirectory(parent, title, dir);
}

QString QtInteraction::saveFileNameUnconfirmed(QWidget *parent, const QString &title,
                                               const QString &filter,
                                               const QString &defaultSuffix) {
    QFileDialog dialog(parent, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

std::optional<QFont> QtInteraction::font(QWidget *parent, const QFont &initial,
                                         const QString &title) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, parent, title);
    if (!ok)
        return std::nullopt;
    return chosen;
}

QPrinter &QtInteraction::printer() {
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

bool QtInteraction::setupPrinter(QWidget *parent) {
    // The print dialog rather than page set-up: the user picks the printer as well as paper.
    QPrintDialog dialog(&printer(), parent);
    dialog.setWindowTitle(QStringLiteral("打印设置"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile);
    return dialog.exec() == QDialog::Accepted;
}

bool QtInteraction::hasPrinter() {
    return (printer().outputFormat() == QPrinter::PdfFormat &&
            !printer().outputFileName().isEmpty()) ||
           !QPrinterInfo::availablePrinters().isEmpty();
}

void QtInteraction::printPreview(QWidget *parent, QPrinter &printer, const QStringList &choices,
                                 int choice, const std::function<void(QPrinter &, int)> &paint) {
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("打印预览"));
    auto *scope = new QComboBox(&dialog);
    scope->setObjectName(QStringLiteral("printScope"));
    scope->addItems(choices);
    scope->setCurrentIndex(choice);
    scope->setToolTip(QStringLiteral("打印范围"));
    if (auto *bar = dialog.findChild<QToolBar *>()) {
        bar->insertWidget(bar->actions().value(0), scope);
        bar->insertSeparator(bar->actions().value(1));
    }
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&](QPrinter *target) { paint(*target, scope->currentIndex()); });
    QObject::connect(scope, &QComboBox::currentIndexChanged, &dialog, [&dialog] {
        if (auto *preview = dialog.findChild<QPrintPreviewWidget *>())
            preview->updatePreview();
    });
    dialog.exec();
}

void QtInteraction::setClipboardImage(const QImage &image) {
    QApplication::clipboard()->setImage(image);
}

void QtInteraction::setClipboardText(const QString &text) {
    // Programs that ask for the charset by name (some editors, terminals) find it too.
    auto *data = new QMimeData;
    data->setText(text);
    data->setData(QStringLiteral("text/plain;charset=utf-8"), text.toUtf8());
    QApplication::clipboard()->setMimeData(data);
}

bool QtInteraction::openUrl(const QUrl &url) {
    return QDesktopServices::openUrl(url);
}

Qt::DropAction QtInteraction::drag(QWidget *source, QMimeData *data, const QImage &preview) {
    auto *drag = new QDrag(source);
    drag->setMimeData(data);
    if (!preview.isNull()) {
        drag->setPixmap(QPixmap::fromImage(preview));
        drag->setHotSpot(QPoint(preview.width() / 2, preview.height() / 2));
    }
    return drag->exec(Qt::CopyAction, Qt::CopyAction);
}

} // namespace qen
