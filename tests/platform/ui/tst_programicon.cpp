// The window's icon is the desktop icon, in every size the menu and the task switcher ask for.
#include "platform/ui/icons.h"

#include <QImage>
#include <QtTest>

class TestProgramIcon : public QObject {
    Q_OBJECT
private slots:
    void everySizeIsThere();
};

void TestProgramIcon::everySizeIsThere() {
    const QIcon icon = qen::icons::programIcon();
    QList<QSize> expected;
    for (int size : qen::icons::programIconSizes()) {
        // A picture rendered at the wrong size would be scaled, blurred, by the desktop.
        const QImage picture(QStringLiteral(":/qen/icons/%1.png").arg(size));
        QCOMPARE(picture.size(), QSize(size, size));
        QVERIFY(picture.hasAlphaChannel());
        expected << QSize(size, size);
    }
    QCOMPARE(icon.availableSizes(), expected);
}

QTEST_MAIN(TestProgramIcon)
#include "tst_programicon.moc"
