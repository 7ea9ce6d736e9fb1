#include "pageview/ui/imageview.h"
#include "pageview/ui/selectionshape.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>

using namespace qen;

namespace {

void send(QWidget *w, QEvent::Type type, QPoint local, QPoint global, Qt::MouseButton button,
          Qt::MouseButtons buttons) {
    QMouseEvent event(type, local, global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

bool nearTwips(double got, double want, double perPixel) {
    return std::abs(got - want) <= perPixel / 2;
}

} // namespace

class TestSelectionShape : public QObject {
    Q_OBJECT
private slots:
    void startsHiddenAtItsDesignPlace();
    void moveRefusesNegativeSizes();
    void marginsPutTheFrameOnTheBand();
    void handlesRunClockwiseFromTopLeft();
    void handleDragReportsDisplacement();
    void pressOffTheHandlesReachesTheView();
};

void TestSelectionShape::startsHiddenAtItsDesignPlace() {
    QWidget container;
    SelectionShape shape(&container);
    QVERIFY(!shape.isShown());
    QCOMPARE(shape.state(), 0);
    const double t = twipsPerPixelX(&shape);
    QVERIFY(nearTwips(shape.leftTwips(), 840, t));
    QVERIFY(nearTwips(shape.topTwips(), 1410, t));
    QVERIFY(nearTwips(shape.widthTwips(), 1605, t));
    QVERIFY(nearTwips(shape.heightTwips(), 2085, t));
    shape.setShown(true);
    shape.setState(1);
    QVERIFY(shape.isShown());
    QCOMPARE(shape.state(), 1);
}

void TestSelectionShape::moveRefusesNegativeSizes() {
    QWidget container;
    SelectionShape shape(&container);
    const QRect before = shape.geometry();
    QVERIFY(!shape.move(300, 300, -15, 600));
    QVERIFY(!shape.move(300, 300, 600, -1));
    QCOMPARE(shape.geometry(), before);
    QVERIFY(shape.move(300, 300, 0, 0)); // no minimum size
    QCOMPARE(shape.size(), QSize(0, 0));
}

void TestSelectionShape::marginsPutTheFrameOnTheBand() {
    // Press at view pixel (100, 50), drag to (300, 200) with 15 twips a pixel: the caller
    // moves the shape to Left 1380, Top 630, Width 3120, Height 2370; the band is then view
    // pixel (100, 50) to (291, 191), and the frame is drawn on it.
    QWidget container;
    container.resize(800, 600);
    SelectionShape shape(&container);
    const double t = twipsPerPixelX(&shape);
    if (t != 15)
        QSKIP("needs a 96 dpi screen");
    QVERIFY(shape.move(1380, 630, 3120, 2370));
    QCOMPARE(shape.leftTwips(), 1380.0);
    QCOMPARE(shape.topTwips(), 630.0);
    QCOMPARE(shape.widthTwips(), 3120.0);
    QCOMPARE(shape.heightTwips(), 2370.0);
    const QRect frame = shape.frameRect().translated(shape.pos());
    QCOMPARE(frame.topLeft(), QPoint(100, 50));
    QCOMPARE(frame.bottomRight(), QPoint(291, 191));
    // The commit the caller makes from the shape: round(L / t + 8), round((L + W) / t - 9).
    QCOMPARE(std::lround(shape.leftTwips() / t + 8), long(frame.left()));
    QCOMPARE(std::lround((shape.leftTwips() + shape.widthTwips()) / t - 9), long(frame.right()));
}

void TestSelectionShape::handlesRunClockwiseFromTopLeft() {
    QWidget container;
    SelectionShape shape(&container);
    shape.setGeometry(10, 10, 117, 77);
    const QRect f = shape.frameRect();
    const QPoint expected[] = {
        f.topLeft(),     {f.center().x(), f.top()},    f.topRight(),   {f.right(), f.center().y()},
        f.bottomRight(), {f.center().x(), f.bottom()}, f.bottomLeft(), {f.left(), f.center().y()}};
    for (int h = 0; h < 8; ++h) {
        QCOMPARE(shape.handleCentre(h), expected[h]);
        QCOMPARE(shape.handleAt(expected[h]), h);
    }
    QCOMPARE(shape.handleAt(f.center()), -1);
    shape.setGeometry(10, 10, 17, 17); // the smallest shape still has grabbable corners
    QCOMPARE(shape.handleAt(shape.frameRect().topLeft()), 0);
}

void TestSelectionShape::handleDragReportsDisplacement() {
    QWidget container;
    container.resize(800, 600);
    SelectionShape shape(&container);
    shape.setGeometry(100, 100, 217, 117);
    shape.setShown(true);
    container.show();
    QVERIFY(QTest::qWaitForWindowExposed(&container));
    QSignalSpy drag(&shape, &SelectionShape::handleDrag);
    QSignalSpy end(&shape, &SelectionShape::handleDragEnd);
    const double tx = twipsPerPixelX(&shape), ty = twipsPerPixelY(&shape);
    const QPoint grip = shape.handleCentre(4);
    const QPoint g = shape.mapToGlobal(grip);
    send(&shape, QEvent::MouseButtonPress, grip, g, Qt::LeftButton, Qt::LeftButton);
    send(&shape, QEvent::MouseMove, grip + QPoint(10, 5), g + QPoint(10, 5), Qt::NoButton,
         Qt::LeftButton);
    // The caller resizes the shape in answer; the next displacement is still the pointer's.
    shape.setGeometry(100, 100, 227, 122);
    send(&shape, QEvent::MouseMove, grip + QPoint(7, 5), g + QPoint(7, 5), Qt::NoButton,
         Qt::LeftButton);
    send(&shape, QEvent::MouseButtonRelease, grip + QPoint(7, 5), g + QPoint(7, 5), Qt::LeftButton,
         Qt::NoButton);
    QCOMPARE(drag.count(), 2);
    QCOMPARE(drag[0], (QList<QVariant>{1, 0, 10 * tx, 5 * ty, 4}));
    QCOMPARE(drag[1], (QList<QVariant>{1, 0, -3 * tx, 0.0, 4}));
    QCOMPARE(end.count(), 1);
    QCOMPARE(end[0].at(4).toInt(), 4);
    QCOMPARE(shape.draggedHandle(), -1);
}

void TestSelectionShape::pressOffTheHandlesReachesTheView() {
    ImageView view;
    view.resize(600, 400);
    SelectionShape shape(view.clientArea());
    shape.setGeometry(50, 40, 200, 150);
    shape.setShown(true);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy down(&view, &ImageView::mouseDown);
    QSignalSpy drag(&shape, &SelectionShape::handleDrag);
    const QPoint inside(100, 70);
    send(&shape, QEvent::MouseButtonPress, inside, shape.mapToGlobal(inside), Qt::LeftButton,
         Qt::LeftButton);
    QCOMPARE(down.count(), 1);
    const double tx = twipsPerPixelX(view.clientArea());
    QCOMPARE(down[0].at(2).toDouble(), (50 + 100) * tx); // in the view's own coordinates
    QCOMPARE(drag.count(), 0);
}

QTEST_MAIN(TestSelectionShape)
#include "tst_selectionshape.moc"
