#include <QApplication>

#include "common/TestMain.h"

#include "graph/Tslider2.h"

#include <QPaintEvent>

namespace {

// Records the region of every paint event the slider receives.
class RecordingSlider : public Tslider2
{
public:
    QList<QRegion> painted;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        painted.append(event->region());
        Tslider2::paintEvent(event);
    }
};

// The graph window's slider: 622 x 23, thumbs 10 px along the track.
void makeGraphSlider(Tslider2& s)
{
    s.resize(622, 23);
    s.SetThumbHeight(10);
    s.SetThumbWidth(4);
}

QPoint centreOf(const QRect& r)
{
    return r.center();
}

void drag(QWidget* w, QPoint from, QPoint to)
{
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(w, to);
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, to);
}

} // namespace

class tst_Tslider2 : public QObject
{
    Q_OBJECT

private slots:
    void defaults();
    void setValueClamps_data();
    void setValueClamps();
    void unchangedValueReportsNothing();
    void maximumPullsValue2Down();
    void minimumPullsValuesUp();
    void visualSettersStoreOnlyChanges();
    void thumbRectangleHorizontal();
    void thumbRectangleVertical_data();
    void thumbRectangleVertical();
    void dragTruncatesTowardZero_data();
    void dragTruncatesTowardZero();
    void dragFollowsGrabPoint();
    void verticalDragUpIncreases();
    void thumbsCanCross();
    void thumbOneWinsOnOverlap();
    void pressOffThumbIsPassedOn_data();
    void pressOffThumbIsPassedOn();
    void releaseEndsDrag();
    void moveRepaintsOnlyThumbStrips();
    void rangeChangeRepaintsWholeControl();
    void emptyRangeKeepsThumbsAtStart();
    void controlShorterThanThumb();
};

void tst_Tslider2::defaults()
{
    Tslider2 s;
    QCOMPARE(s.TrackWidth(), 5);
    QCOMPARE(s.ThumbHeight(), 20);
    QCOMPARE(s.ThumbWidth(), 8);
    QCOMPARE(s.Orientation(), slHoriz);
    QCOMPARE(s.Minimum(), 0);
    QCOMPARE(s.Maximum(), 100);
    QCOMPARE(s.Value1(), 0);
    QCOMPARE(s.Value2(), 100);
    QCOMPARE(s.TrackColor(), s.palette().color(QPalette::Button));
    QCOMPARE(s.ThumbColor(), s.palette().color(QPalette::Button));
    QCOMPARE(s.sizeHint(), QSize(200, 50));
    QCOMPARE(s.size(), QSize(200, 50));
    QCOMPARE(int(slHoriz), 0);
    QCOMPARE(int(slVertical), 1);
}

void tst_Tslider2::setValueClamps_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("stored");
    QTest::newRow("above maximum") << 150 << 100;
    QTest::newRow("below minimum") << -5 << 0;
    QTest::newRow("inside") << 42 << 42;
    QTest::newRow("maximum itself") << 100 << 100;
}

void tst_Tslider2::setValueClamps()
{
    QFETCH(int, value);
    QFETCH(int, stored);
    Tslider2 s;
    s.SetValue1(value);
    QCOMPARE(s.Value1(), stored);
    s.SetValue2(value);
    QCOMPARE(s.Value2(), stored);
}

void tst_Tslider2::unchangedValueReportsNothing()
{
    Tslider2 s;
    QSignalSpy spy1(&s, &Tslider2::valueChange1);
    QSignalSpy spy2(&s, &Tslider2::valueChange2);
    QVERIFY(spy1.isValid() && spy2.isValid());

    s.SetValue1(0);
    s.SetValue1(-5); // clamps to 0, the value it has
    s.SetValue2(100);
    s.SetValue2(150);
    QCOMPARE(spy1.count(), 0);
    QCOMPARE(spy2.count(), 0);

    s.SetValue1(30);
    QCOMPARE(spy1.count(), 1);
    QCOMPARE(spy2.count(), 0);
    s.SetValue1(30);
    QCOMPARE(spy1.count(), 1);
}

void tst_Tslider2::maximumPullsValue2Down()
{
    Tslider2 s;
    int value2WhenReported = -1;
    connect(&s, &Tslider2::valueChange2, &s, [&] { value2WhenReported = s.Value2(); });
    QSignalSpy spy1(&s, &Tslider2::valueChange1);
    QSignalSpy spy2(&s, &Tslider2::valueChange2);

    s.SetMax(40);
    QCOMPARE(s.Maximum(), 40);
    QCOMPARE(s.Value2(), 40);
    QCOMPARE(spy2.count(), 1);
    QCOMPARE(value2WhenReported, 40);
    QCOMPARE(s.Value1(), 0);
    QCOMPARE(spy1.count(), 0);
}

void tst_Tslider2::minimumPullsValuesUp()
{
    Tslider2 s;
    s.SetValue2(50);
    QSignalSpy spy1(&s, &Tslider2::valueChange1);
    QSignalSpy spy2(&s, &Tslider2::valueChange2);

    s.SetMin(20);
    QCOMPARE(s.Value1(), 20);
    QCOMPARE(s.Value2(), 50);
    QCOMPARE(spy1.count(), 1);
    QCOMPARE(spy2.count(), 0);

    s.SetMin(20);
    QCOMPARE(spy1.count(), 1);
}

void tst_Tslider2::visualSettersStoreOnlyChanges()
{
    RecordingSlider s;
    s.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s));
    QTRY_VERIFY(!s.painted.isEmpty());

    s.painted.clear();
    s.SetThumbColor(Qt::green);
    QCOMPARE(s.ThumbColor(), QColor(Qt::green));
    QTRY_VERIFY(!s.painted.isEmpty());
    QVERIFY(s.painted.last().contains(s.rect()));

    s.SetTrackColor(Qt::yellow);
    s.SetTrackWidth(7);
    s.SetThumbWidth(4);
    s.SetOrientation(slVertical);
    QCOMPARE(s.TrackColor(), QColor(Qt::yellow));
    QCOMPARE(s.TrackWidth(), 7);
    QCOMPARE(s.ThumbWidth(), 4);
    QCOMPARE(s.Orientation(), slVertical);
}

void tst_Tslider2::thumbRectangleHorizontal()
{
    Tslider2 s;
    makeGraphSlider(s);
    s.SetValue1(50);
    const QRect r = s.thumbRect1();
    QCOMPARE(r.left(), 306);
    QCOMPARE(r.left() + r.width(), 316); // right edge, exclusive
    QCOMPARE(r.top(), 0);
    QCOMPARE(r.height(), 23);
    // Value 100 puts the thumb against the right end.
    QCOMPARE(s.thumbRect2().left() + s.thumbRect2().width(), 622);
    QCOMPARE(s.positionOf(33), 612 * 33 / 100);
}

void tst_Tslider2::thumbRectangleVertical_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("top");
    // Height 222, thumb 10: pos(v) = 212 * v / 100; bottom = 222 - pos.
    QTest::newRow("minimum at the bottom") << 0 << 212;
    QTest::newRow("maximum at the top") << 100 << 0;
    QTest::newRow("middle") << 50 << 106;
    QTest::newRow("truncated") << 33 << 222 - 69 - 10;
}

void tst_Tslider2::thumbRectangleVertical()
{
    QFETCH(int, value);
    QFETCH(int, top);
    Tslider2 s;
    s.SetOrientation(slVertical);
    s.SetThumbHeight(10);
    s.resize(23, 222);
    s.SetValue1(value);
    s.SetValue2(100 - value);
    QCOMPARE(s.thumbRect1(), QRect(0, top, 23, 10));
    // Each thumb at its own value.
    QCOMPARE(s.thumbRect2().top(), 222 - s.positionOf(100 - value) - 10);
}

void tst_Tslider2::dragTruncatesTowardZero_data()
{
    QTest::addColumn<int>("dx");
    QTest::addColumn<int>("change");
    // 100 * dx / 612, truncated toward zero.
    QTest::newRow("62 px right") << 62 << 10;
    QTest::newRow("61 px right") << 61 << 9;
    QTest::newRow("62 px left") << -62 << -10;
    QTest::newRow("61 px left") << -61 << -9;
    QTest::newRow("6 px right") << 6 << 0;
    QTest::newRow("past the end") << 400 << 50;
}

void tst_Tslider2::dragTruncatesTowardZero()
{
    QFETCH(int, dx);
    QFETCH(int, change);
    Tslider2 s;
    makeGraphSlider(s);
    s.SetValue1(50);
    s.SetValue2(0);
    const QPoint grab = centreOf(s.thumbRect1());
    drag(&s, grab, grab + QPoint(dx, 0));
    QCOMPARE(s.Value1(), 50 + change);
    QCOMPARE(s.Value2(), 0);
}

void tst_Tslider2::dragFollowsGrabPoint()
{
    Tslider2 s;
    makeGraphSlider(s);
    s.SetValue1(50);
    s.SetValue2(0);
    QSignalSpy spy(&s, &Tslider2::valueChange1);
    // Grabbed at its left edge, not its centre: a press alone moves nothing.
    const QPoint grab(s.thumbRect1().left(), 5);
    QTest::mousePress(&s, Qt::LeftButton, Qt::NoModifier, grab);
    QTest::mouseMove(&s, grab + QPoint(1, 0));
    QCOMPARE(s.Value1(), 50);
    QCOMPARE(spy.count(), 0);
    QTest::mouseMove(&s, grab + QPoint(31, 7)); // vertical motion is ignored
    QCOMPARE(s.Value1(), 55);
    QTest::mouseMove(&s, grab + QPoint(62, 0));
    QCOMPARE(s.Value1(), 60);
    QTest::mouseRelease(&s, Qt::LeftButton, Qt::NoModifier, grab + QPoint(62, 0));
    QCOMPARE(spy.count(), 2);
}

void tst_Tslider2::verticalDragUpIncreases()
{
    Tslider2 s;
    s.SetOrientation(slVertical);
    s.SetThumbHeight(10);
    s.resize(23, 222);
    s.SetValue1(0);
    s.SetValue2(100);
    const QPoint grab = centreOf(s.thumbRect1());
    drag(&s, grab, grab - QPoint(0, 106));
    QCOMPARE(s.Value1(), 50);
    const QPoint again = centreOf(s.thumbRect1());
    drag(&s, again, again + QPoint(0, 3)); // 3 * 100 / 212 = 1 down
    QCOMPARE(s.Value1(), 49);
}

void tst_Tslider2::thumbsCanCross()
{
    Tslider2 s;
    makeGraphSlider(s);
    s.SetValue1(20);
    s.SetValue2(30);
    const QPoint grab = centreOf(s.thumbRect1());
    drag(&s, grab, grab + QPoint(200, 0)); // 100 * 200 / 612 = 32
    QCOMPARE(s.Value1(), 52);
    QCOMPARE(s.Value2(), 30);

    // Thumb 2, now left of thumb 1, is still grabbed on its own.
    const QPoint grab2 = centreOf(s.thumbRect2());
    drag(&s, grab2, grab2 - QPoint(62, 0));
    QCOMPARE(s.Value2(), 20);
    QCOMPARE(s.Value1(), 52);
}

void tst_Tslider2::thumbOneWinsOnOverlap()
{
    Tslider2 s;
    makeGraphSlider(s);
    s.SetValue1(50);
    s.SetValue2(50);
    const QPoint grab = centreOf(s.thumbRect1());
    drag(&s, grab, grab + QPoint(62, 0));
    QCOMPARE(s.Value1(), 60);
    QCOMPARE(s.Value2(), 50);
}

void tst_Tslider2::pressOffThumbIsPassedOn_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QPoint>("position");
    QTest::newRow("left button on the track") << int(Qt::LeftButton) << QPoint(100, 11);
    QTest::newRow("right button on thumb 1") << int(Qt::RightButton) << QPoint(311, 11);
}

void tst_Tslider2::pressOffThumbIsPassedOn()
{
    QFETCH(int, button);
    QFETCH(QPoint, position);
    Tslider2 s;
    makeGraphSlider(s);
    s.SetValue1(50);
    QSignalSpy down(&s, &Tslider2::mouseDown);
    QSignalSpy changes(&s, &Tslider2::valueChange1);

    QTest::mousePress(&s, Qt::MouseButton(button), Qt::NoModifier, position);
    QTest::mouseMove(&s, position + QPoint(100, 0));
    QTest::mouseRelease(&s, Qt::MouseButton(button), Qt::NoModifier, position + QPoint(100, 0));

    QCOMPARE(down.count(), 1);
    QCOMPARE(down.first().at(0).value<Qt::MouseButton>(), Qt::MouseButton(button));
    QCOMPARE(down.first().at(1).toPoint(), position);
    QCOMPARE(changes.count(), 0);
    QCOMPARE(s.Value1(), 50);
}

void tst_Tslider2::releaseEndsDrag()
{
    Tslider2 s;
    makeGraphSlider(s);
    s.SetValue1(50);
    s.SetValue2(0);
    const QPoint grab = centreOf(s.thumbRect1());
    drag(&s, grab, grab + QPoint(62, 0));
    QCOMPARE(s.Value1(), 60);
    // A later move with the button held elsewhere does not drag any more.
    QTest::mousePress(&s, Qt::LeftButton, Qt::NoModifier, QPoint(200, 11));
    QTest::mouseMove(&s, QPoint(400, 11));
    QTest::mouseRelease(&s, Qt::LeftButton, Qt::NoModifier, QPoint(400, 11));
    QCOMPARE(s.Value1(), 60);
}

void tst_Tslider2::moveRepaintsOnlyThumbStrips()
{
    RecordingSlider s;
    makeGraphSlider(s);
    s.SetValue1(10);
    s.SetValue2(90);
    s.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s));
    QTRY_VERIFY(!s.painted.isEmpty());
    QTRY_VERIFY(s.painted.last().contains(s.rect()));

    s.painted.clear();
    const QRect before = s.thumbRect1();
    s.SetValue1(50);
    const QRect after = s.thumbRect1();
    QTRY_VERIFY(!s.painted.isEmpty());

    QRegion repainted;
    for (const QRegion& r : std::as_const(s.painted))
        repainted += r;
    const QRegion strips = QRegion(before) + QRegion(after);
    QVERIFY(repainted.subtracted(strips).isEmpty());
    QVERIFY(strips.subtracted(repainted).isEmpty());
    QVERIFY(!repainted.contains(s.thumbRect2()));
    QVERIFY(!repainted.contains(QPoint(200, 11)));

    // What the strips show afterwards matches a full repaint.
    const QImage partial = s.grab().toImage();
    s.update();
    QTRY_VERIFY(s.painted.last().contains(s.rect()));
    QCOMPARE(s.grab().toImage(), partial);
}

void tst_Tslider2::rangeChangeRepaintsWholeControl()
{
    RecordingSlider s;
    makeGraphSlider(s);
    s.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s));
    QTRY_VERIFY(!s.painted.isEmpty());
    s.painted.clear();
    s.SetMax(200);
    QTRY_VERIFY(!s.painted.isEmpty());
    QVERIFY(s.painted.last().contains(s.rect()));
}

void tst_Tslider2::emptyRangeKeepsThumbsAtStart()
{
    RecordingSlider s;
    makeGraphSlider(s);
    s.SetMax(0); // a one-point series: range 0..0
    QCOMPARE(s.Value2(), 0);
    QCOMPARE(s.positionOf(0), 0);
    QCOMPARE(s.thumbRect1().left(), 0);
    QCOMPARE(s.thumbRect2().left(), 0);
    s.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s));
    QTRY_VERIFY(!s.painted.isEmpty());

    QSignalSpy spy(&s, &Tslider2::valueChange1);
    drag(&s, QPoint(5, 11), QPoint(300, 11));
    QCOMPARE(s.Value1(), 0);
    QCOMPARE(spy.count(), 0);

    s.SetOrientation(slVertical);
    QCOMPARE(s.thumbRect1().bottom() + 1, s.height());
}

void tst_Tslider2::controlShorterThanThumb()
{
    RecordingSlider s;
    s.SetThumbHeight(10);
    s.resize(8, 23);
    s.SetValue1(50);
    QCOMPARE(s.positionOf(50), 0);
    QCOMPARE(s.thumbRect1().left(), 0);
    s.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s));
    QTRY_VERIFY(!s.painted.isEmpty());

    drag(&s, QPoint(4, 11), QPoint(300, 11));
    QCOMPARE(s.Value1(), 50);

    s.resize(10, 23); // exactly one thumb long
    drag(&s, QPoint(4, 11), QPoint(300, 11));
    QCOMPARE(s.Value1(), 50);
}

AUDIMARK_TEST_MAIN_GUI(tst_Tslider2)
#include "tst_tslider2.moc"
