#pragma once

#include <QFont>
#include <QImage>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>

class QMimeData;
class QPrinter;
class QWidget;

namespace qen {

// Every dialog, message box, printer and clipboard use goes through this interface, owned by
// the main window. The program uses QtInteraction; tests answer through a scripted one.
class Interaction {
public:
    virtual ~Interaction() = default;

    virtual QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon,
                                                const QString &title, const QString &text,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton) = 0;

    // Empty when cancelled.
    virtual QStringList openFileNames(QWidget *parent, const QString &title, const QString &dir,
                                      const QString &filter) = 0;
    virtual QString saveFileName(QWidget *parent, const QString &title, const QString &path,
                                 const QString &filter, QString *selectedFilter) = 0;
    virtual QString existingDirectory(QWidget *parent, const QString &title,
                                      const QString &dir) = 0;
    // A save dialog that appends defaultSuffix ("" for none) to a name typed without one and
    // asks nothing about an existing file: the caller asks once it knows the final name.
    virtual QString saveFileNameUnconfirmed(QWidget *parent, const QString &title,
                                            const QString &filter,
                                            const QString &defaultSuffix) = 0;
    virtual std::optional<QFont> font(QWidget *parent, const QFont &initial,
                                      const QString &title) = 0;

    // The printer that printing uses; tests point it at a PDF file.
    virtual QPrinter &printer() = 0;
    // Printer set-up dialog; false when cancelled.
    virtual bool setupPrinter(QWidget *parent) = 0;
    // Whether printing can reach anything: an installed printer, or a file the printer
    // has been pointed at.
    virtual bool hasPrinter() = 0;
    // The print preview over `printer`: `paint` draws the job for the choice made in the
    // dialog among `choices` (`choice` first), on the preview and, when the user prints from
    // it, on the printer.
    virtual void printPreview(QWidget *parent, QPrinter &printer, const QStringList &choices,
                              int choice, const std::function<void(QPrinter &, int)> &paint) = 0;

    virtual void setClipboardImage(const QImage &image) = 0;
    virtual void setClipboardText(const QString &text) = 0;
    virtual bool openUrl(const QUrl &url) = 0;
    // Drags `data` (taken over) out of `source` to wherever the user drops it, as a copy.
    virtual Qt::DropAction drag(QWidget *source, QMimeData *data, const QImage &preview) = 0;

    // The fixed message kinds of the program.
    void information(QWidget *parent, const QString &text);
    bool question(QWidget *parent, const QString &text); // Yes/No, true for Yes
    void error(QWidget *parent, const QString &description);
};

class QtInteraction : public Interaction {
public:
    QtInteraction();
    ~QtInteraction() override;

    QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon,
                                        const QString &title, const QString &text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override;
    QStringList openFileNames(QWidget *parent, const QString &title, const QString &dir,
                              const QString &filter) override;
    QString saveFileName(QWidget *parent, const QString &title, const QString &path,
                         const QString &filter, QString *selectedFilter) override;
    QString existingDirectory(QWidget *parent, const QString &title, const QString &dir) override;
    QString saveFileNameUnconfirmed(QWidget *parent, const QString &title, const QString &filter,
                                    const QString &defaultSuffix) override;
    std::optional<QFont> font(QWidget *parent, const QFont &initial, const QString &title) override;
    QPrinter &printer() override;
    bool setupPrinter(QWidget *parent) override;
    bool hasPrinter() override;
    void printPreview(QWidget *parent, QPrinter &printer, const QStringList &choices, int choice,
                      const std::function<void(QPrinter &, int)> &paint) override;
    void setClipboardImage(const QImage &image) override;
    void setClipboardText(const QString &text) override;
    bool openUrl(const QUrl &url) override;
    Qt::DropAction drag(QWidget *source, QMimeData *data, const QImage &preview) override;

private:
    std::unique_ptr<QPrinter> m_printer;
};

} // namespace qen
