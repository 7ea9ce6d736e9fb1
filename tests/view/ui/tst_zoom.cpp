// The zoom combo and the step commands on a real image view with a page loaded.
#include "pageview/ui/imageview.h"
#include "pageview/ui/selectionshape.h"
#include "view/ui/zoom.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

class TestZoom : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void leadingNumber_data();
    void leadingNumber();
    void percentText_data();
    void percentText();
    void typed_data();
    void typed();
    void typedListItemAppliesOnce();
    void step_data();
    void step();
    void stepWithoutPageDoesNothing();
    void clickAndFitKeepTheirTexts();

private:
    void type(const QString &text);

    QTemporaryDir m_dir;
    std::unique_ptr<QWidget> m_host;
    ImageView *m_view = nullptr;
    SelectionShape *m_ctl = nullptr;
    QComboBox *m_combo = nullptr;
    QLabel *m_panel = nullptr;
    Zoom *m_zoom = nullptr;
    ShownViewState m_shown;
};

void TestZoom::init() {
    m_shown.set(ShownView::Nothing);
    m_host = std::make_unique<QWidget>();
    m_host->resize(600, 400);
    m_view = new ImageView(m_host.get());
    m_view->setGeometry(0, 40, 600, 360);
    m_ctl = new SelectionShape(m_view->clientArea());
    m_combo = new QComboBox(m_host.get());
    m_combo->setEditable(true);
    m_combo->addItems({"10%", "30%", "50%", "70%", "90%", "100%", "120%", "150%", "170%", "200%",
                       "250%", "300%"});
    m_panel = new QLabel(m_host.get());
    m_zoom = new Zoom(m_view, m_shown, m_ctl, m_combo, m_panel, m_host.get());
    QImage page(400, 300, QImage::Format_Mono);
    page.fill(1);
    const QString path = m_dir.filePath("page.tif");
    QVERIFY(page.save(path));
    QVERIFY(m_view->setFileName(path));
    QVERIFY(m_view->zoomToFactor(1.0));
    m_combo->setCurrentText("100%");
    m_host->show();
}

void TestZoom::cleanup() {
    m_host.reset();
}

void TestZoom::type(const QString &text) {
    m_combo->lineEdit()->clear();
    // Keys go where the window system sends them: to the combo, which its line edit hands the
    // focus to. Typed key by key, so that a completer would have its chance; an input
    // method's full-width text arrives whole.
    m_combo->lineEdit()->setFocus();
    QCOMPARE(m_combo->lineEdit()->focusProxy(), m_combo);
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() < 128;
    if (ascii)
        QTest::keyClicks(m_combo, text);
    else
        m_combo->lineEdit()->setText(text);
    QTest::keyClick(m_combo, Qt::Key_Return);
}

void TestZoom::leadingNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("percent") << "150%" << 150.0;
    QTest::newRow("leading blanks") << "  30%" << 30.0;
    QTest::newRow("exponent") << "1e2%" << 100.0;
    QTest::newRow("no number") << "%" << 0.0;
}

void TestZoom::leadingNumber() {
    QFETCH(QString, text);
    QTEST(LeadingNumber(text), "value");
}

void TestZoom::percentText_data() {
    QTest::addColumn<double>("percent");
    QTest::addColumn<QString>("text");
    QTest::newRow("single precision 110") << double(float(0.9f + 0.2)) * 100 << "110%";
    QTest::newRow("single precision 70") << double(float(0.5 + 0.2)) * 100 << "70%";
    QTest::newRow("fraction") << 12.5 << "12.5%";
    QTest::newRow("huge stays plain") << 1e9 << "1000000000%";
    QTest::newRow("negative") << -5.0 << "-5%";
    QTest::newRow("zero") << 0.0 << "0%";
}

void TestZoom::percentText() {
    QFETCH(double, percent);
    QTEST(PercentText(percent), "text");
}

void TestZoom::typed_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("combo"); // the box's text afterwards
    QTest::addColumn<QString>("panel"); // status panel 2 afterwards
    QTest::addColumn<double>("factor"); // the view's zoom afterwards (it starts at 1.0)
    const QString unchanged;
    QTest::newRow("number") << "150"
                            << "150%"
                            << "缩放比例:150%" << 1.5;
    QTest::newRow("percent") << "150%"
                             << "150%"
                             << "缩放比例:150%" << 1.5;
    QTest::newRow("leading zero") << "075"
                                  << "75%"
                                  << "缩放比例:75%" << 0.75;
    QTest::newRow("blanks") << " 75 "
                            << "75%"
                            << "缩放比例:75%" << 0.75;
    QTest::newRow("not completed") << "12"
                                   << "12%"
                                   << "缩放比例:12%" << 0.12;
    QTest::newRow("exponent") << "1e2"
                              << "100%"
                              << "缩放比例:100%" << 1.0;
    QTest::newRow("full-width digits") << "５０%"
                                       << "50%"
                                       << "缩放比例:50%" << 0.5;
    // Refused: the text stays as typed, nothing else changes.
    QTest::newRow("empty") << ""
                           << "" << unchanged << 1.0;
    QTest::newRow("letters") << "abc"
                             << "abc" << unchanged << 1.0;
    QTest::newRow("lone percent") << "%"
                                  << "%" << unchanged << 1.0;
    QTest::newRow("two percent signs") << "150%%"
                                       << "150%%" << unchanged << 1.0;
    QTest::newRow("very long") << QString(200, '1') << QString(200, '1') << unchanged << 1.0;
    // Accepted but refused by the view: the texts are written, the zoom stays.
    QTest::newRow("zero") << "0"
                          << "0%"
                          << "缩放比例:0%" << 1.0;
    QTest::newRow("negative") << "-5"
                              << "-5%"
                              << "缩放比例:-5%" << 1.0;
    QTest::newRow("beyond the view") << "1e9"
                                     << "1000000000%"
                                     << "缩放比例:1000000000%" << 1.0;
    QTest::newRow("large but held") << "5000"
                                    << "5000%"
                                    << "缩放比例:5000%" << 50.0;
}

void TestZoom::typed() {
    QFETCH(QString, typed);
    QFETCH(double, factor);
    type(typed);
    QTEST(m_combo->currentText(), "combo");
    QTEST(m_panel->text(), "panel");
    QCOMPARE(m_view->zoomFactor(), factor);
    QCOMPARE(m_combo->count(), 12); // typed texts never join the list
}

void TestZoom::typedListItemAppliesOnce() {
    QSignalSpy clicks(m_combo, &QComboBox::activated);
    m_view->setSelectionBand(true, 10, 10);
    m_view->selectionBandExtend(50, 50);
    type("120%");
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(m_view->zoomFactor(), 1.2);
    QCOMPARE(m_view->selectionWidth(), 0); // the band goes with a new zoom
    // Leaving the box does not take the text for a fresh choice from the list.
    m_view->setFocus();
    QCOMPARE(clicks.count(), 0);
}

void TestZoom::step_data() {
    QTest::addColumn<double>("start");
    QTest::addColumn<bool>("zoomIn");
    QTest::addColumn<QString>("combo");
    QTest::addColumn<double>("factor");
    QTest::newRow("50 in") << 0.5 << true << "70%" << double(float(0.7));
    QTest::newRow("90 in") << double(float(0.9)) << true << "110%" << double(float(1.1));
    QTest::newRow("30 out") << 0.3 << false << "10%" << double(float(0.1));
    // The step stops at the open range's ends and leaves everything as it was.
    QTest::newRow("10 out") << double(float(0.1)) << false << "100%" << double(float(0.1));
    QTest::newRow("99.9 in") << double(float(99.9)) << true << "100%" << double(float(99.9));
    QTest::newRow("after a fit") << 0.5874194 << true << "78.74194%" << double(float(0.7874194));
}

void TestZoom::step() {
    QFETCH(double, start);
    QFETCH(bool, zoomIn);
    QVERIFY(m_view->zoomToFactor(start));
    m_panel->setText("缩放比例:100%");
    m_zoom->StepZoom(zoomIn);
    QTEST(m_combo->currentText(), "combo");
    QFETCH(double, factor);
    QVERIFY2(qAbs(m_view->zoomFactor() - factor) < 1e-6, qPrintable(QString::number(factor)));
    QCOMPARE(m_panel->text(), QStringLiteral("缩放比例:100%")); // a step leaves the panel
    // A text a step writes shows its first digits when it is longer than the box.
    if (factor != start)
        QCOMPARE(m_combo->lineEdit()->cursorPosition(), 0);
}

void TestZoom::stepWithoutPageDoesNothing() {
    m_view->setFileName(QString());
    m_zoom->StepZoom(true);
    QCOMPARE(m_view->zoomFactor(), 1.0);
    QCOMPARE(m_combo->currentText(), QStringLiteral("100%"));
}

void TestZoom::clickAndFitKeepTheirTexts() {
    m_combo->setCurrentIndex(7); // "150%"
    m_zoom->applyComboText();
    QCOMPARE(m_view->zoomFactor(), 1.5);
    QCOMPARE(m_panel->text(), QStringLiteral("缩放比例:150%"));
    m_zoom->fit(viewgeom::FitMode::Page);
    QVERIFY(m_view->zoomFactor() != 1.5);
    QCOMPARE(m_combo->currentText(), QStringLiteral("150%"));
    QCOMPARE(m_panel->text(), QStringLiteral("缩放比例:150%"));
    // With a record shown, Click and fit do nothing.
    m_shown.set(ShownView::Record);
    const double parked = m_view->zoomFactor();
    m_combo->setCurrentIndex(0);
    m_zoom->applyComboText();
    m_zoom->fit(viewgeom::FitMode::Width);
    QCOMPARE(m_view->zoomFactor(), parked);
}

QTEST_MAIN(TestZoom)
#include "tst_zoom.moc"
