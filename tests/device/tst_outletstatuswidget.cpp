#include "device/Pdu.h"
#include "ui/device/OutletStatusWidget.h"

#include <QtTest>

namespace {
const QColor kOn(80, 255, 80);
const QColor kOff(255, 80, 80);

bool isOutletColour(QRgb rgb)
{
    return QColor(rgb) == kOn || QColor(rgb) == kOff;
}
} // namespace

class TestOutletStatusWidget : public QObject
{
    Q_OBJECT
private slots:
    void paintsOutletStates_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("pitch");
        QTest::newRow("tree cell 0x81") << QSize(180, 30) << 0x81 << 22;
        QTest::newRow("not yet reported") << QSize(180, 30) << 0x00 << 22;
        QTest::newRow("all on") << QSize(180, 30) << 0xFF << 22;
        QTest::newRow("wide, pitch is the height") << QSize(400, 30) << 0x5A << 30;
        QTest::newRow("tall, pitch is an eighth of the width") << QSize(160, 100) << 0x0F << 20;
    }

    void paintsOutletStates()
    {
        QFETCH(QSize, size);
        QFETCH(int, status);
        QFETCH(int, pitch);
        CPdu pdu;
        pdu.stInfo.outletStatus = quint8(status);
        COutletStatusWidget* pWidget = pdu.pOutletStatusWidget;
        pWidget->resize(size);
        const QImage image = pWidget->grab().toImage();

        const int s = pitch;
        const double m = s * 0.15 * 0.5;
        const int d = int(s - s * 0.15);
        const int top = int(size.height() / 2 - s / 2 + m);
        for (int i = 0; i < 8; ++i) {
            const int left = int(i * s + m);
            // Left of the number, inside the circle.
            const QColor colour = image.pixelColor(left + d / 6, top + d / 2);
            QCOMPARE(colour, (status >> i) & 1 ? kOn : kOff);
            // The gap between two circles is not painted.
            QVERIFY(!isOutletColour(image.pixel(i * s, top + d / 2)));
        }
        // Nothing right of the eighth circle.
        for (int x = 8 * s; x < size.width(); ++x) {
            for (int y = 0; y < size.height(); ++y) {
                QVERIFY2(!isOutletColour(image.pixel(x, y)),
                         qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            }
        }
    }

    void treeCellGeometry()
    {
        // In the tree's 180 x 30 cell the circles are 18 pixels wide, 22 apart, inset by 1.65; their
        // edge pixels are blended, the rest is solid.
        CPdu pdu;
        pdu.stInfo.outletStatus = 0xFF;
        pdu.pOutletStatusWidget->resize(180, 30);
        const QImage image = pdu.pOutletStatusWidget->grab().toImage();
        const int centreRow = 5 + 9;
        for (int i = 0; i < 8; ++i) {
            const int left = int(i * 22 + 1.65);
            QList<int> solid;
            for (int x = i * 22; x < (i + 1) * 22; ++x) {
                if (QColor(image.pixel(x, centreRow)) == kOn) {
                    solid << x;
                }
            }
            QVERIFY(!solid.isEmpty());
            QCOMPARE(solid.first(), left + 1);
            QCOMPARE(solid.last(), left + 16);
        }
    }

    void drawsNothingWithoutDevice()
    {
        COutletStatusWidget widget(nullptr);
        widget.resize(180, 30);
        const QImage image = widget.grab().toImage();
        for (int x = 0; x < image.width(); ++x) {
            for (int y = 0; y < image.height(); ++y) {
                QVERIFY(!isOutletColour(image.pixel(x, y)));
            }
        }
    }
};

QTEST_MAIN(TestOutletStatusWidget)
#include "tst_outletstatuswidget.moc"
