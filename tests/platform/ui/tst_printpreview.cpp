// The print preview as the program shows it: Qt's preview dialog with the scope chooser in its
// tool bar; the job is drawn for the first scope, and again for another one when it is chosen.
#include "platform/ui/interaction.h"

#include <QApplication>
#include <QComboBox>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

using namespace qen;

class TestPrintPreview : public QObject {
    Q_OBJECT
private slots:
    void chooserRedrawsTheJob();
};

void TestPrintPreview::chooserRedrawsTheJob() {
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("out.pdf"));
    QList<int> drawn;
    QStringList items;
    bool inToolBar = false;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        // Closed whatever is found, so that a failure cannot leave the dialog open.
        const auto close = qScopeGuard([dialog] { dialog->reject(); });
        auto *scope = dialog->findChild<QComboBox *>("printScope");
        QVERIFY(scope);
        inToolBar = qobject_cast<QToolBar *>(scope->parentWidget()) != nullptr;
        for (int i = 0; i < scope->count(); ++i)
            items << scope->itemText(i);
        scope->setCurrentIndex(2);
    });
    QtInteraction().printPreview(nullptr, printer, {"当前页", "当前篇", "所有篇"}, 0,
                                 [&](QPrinter &target, int choice) {
                                     drawn << choice;
                                     QPainter p(&target);
                                     p.drawText(100, 100, QString::number(choice));
                                 });
    QCOMPARE(items, QStringList({"当前页", "当前篇", "所有篇"}));
    QVERIFY(inToolBar);
    QCOMPARE(drawn.value(0), 0);
    QVERIFY(drawn.contains(2));
    // Looking prints nothing.
    QVERIFY(!QFile::exists(dir.filePath("out.pdf")));
}

QTEST_MAIN(TestPrintPreview)
#include "tst_printpreview.moc"
