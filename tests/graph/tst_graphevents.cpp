#include <QApplication>

#include "common/TestMain.h"

#include "data/GraphTexts.h"
#include "graph/GraphEventsPanel.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "graph/Tslider2.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>

#include <memory>

namespace {
const double kMorning = GraphTexts::fromDateTime(QDateTime(QDate(2010, 4, 14), QTime(10, 15, 42)));
constexpr double kSecond = 1.0 / 86400.0;

QString field(const TfrmGraph& w, const char* name)
{
    const auto* edit = w.findChild<QLineEdit*>(QLatin1String(name));
    return edit ? edit->text() : QStringLiteral("<no field %1>").arg(QLatin1String(name));
}

QStringList rowTexts(const QTableWidget& table, int row)
{
    QStringList texts;
    for (int column = 0; column < table.columnCount(); ++column)
        texts << (table.item(row, column) ? table.item(row, column)->text() : QString());
    return texts;
}
} // namespace

// The graph window's "Events" panel: hidden at first, then the exceedance
// events of the series it shows, marked on the chart; a click on one puts
// the cursors on it; its criteria are remembered.
class TestGraphEvents : public QObject
{
    Q_OBJECT

    QTemporaryDir data_;
    GraphWindowState state_;
    std::unique_ptr<TfrmGraph> window_;

private slots:
    void init()
    {
        QLocale::setDefault(QLocale::c());
        QSettings().clear();
        state_ = GraphWindowState{};
        state_.dataDirectory = data_.path();
        state_.dialogs.inform = [](QWidget*, const QString&) {};
    }
    void cleanup() { window_.reset(); }

    // A file graph, one sample a second: 60 dB with 90 dB on samples 20 to
    // 34, an event of 15 s (SEL 90 + 10 log10 15 = 101.8 dB).
    void clickingAnEventPutsTheCursorsOnIt()
    {
        window_ = std::make_unique<TfrmGraph>(state_);
        TfrmGraph& w = *window_;
        w.setWindowTitle(QStringLiteral("trace.txt"));
        w.resize(1100, 760);
        w.show();
        QList<float> levels(60, 60.0f);
        for (int i = 20; i <= 34; ++i)
            levels[i] = 90.0f;
        w.prepareGraph(1, 130, 30, kMorning + 59 * kSecond, kMorning, 60);
        for (int i = 0; i < 60; ++i) {
            w.graph()->setXDataII(0, i, kMorning + i * kSecond);
            w.graph()->setYData(0, i, levels[i]);
        }
        w.updateGraphStatistic();

        auto* action = w.findChild<QAction*>(QStringLiteral("tbntEvents"));
        QVERIFY(action);
        QVERIFY(action->isCheckable() && !action->isChecked());
        QVERIFY(!w.eventsVisible());
        QVERIFY(w.graph()->marks() == PESGraphMarks{});

        action->trigger();
        QVERIFY(w.eventsVisible());
        const QTableWidget& table = *w.eventsPanel()->table();
        QCOMPARE(table.rowCount(), 1);
        QCOMPARE(rowTexts(table, 0),
                 QStringList({GraphTexts::dateTimeText(kMorning + 20 * kSecond),
                              GraphTexts::dateTimeText(kMorning + 35 * kSecond), "0:00:15", "90.0",
                              "90.0", "101.8"}));
        QCOMPARE(table.horizontalHeaderItem(GraphEventsPanel::Leq)->text(), QStringLiteral("Leq"));
        QCOMPARE(w.eventsPanel()->summary(), QStringLiteral("1 event"));
        const PESGraphMarks& marks = w.graph()->marks();
        QCOMPARE(marks.spans.size(), std::size_t(1));
        QCOMPARE(marks.level, std::optional<double>(85.0));

        const QPoint cell = table.visualItemRect(table.item(0, GraphEventsPanel::Start)).center();
        QVERIFY(table.viewport()->rect().contains(cell));
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, cell);
        QCOMPARE(w.slider()->Value1(), 20);
        QCOMPARE(w.slider()->Value2(), 34);
        QCOMPARE(field(w, "txtCursorATime"), GraphTexts::dateTimeText(kMorning + 20 * kSecond));
        QCOMPARE(field(w, "txtCursorBTime"), GraphTexts::dateTimeText(kMorning + 34 * kSecond));
        QCOMPARE(field(w, "txtMinAB"), QStringLiteral("90.0"));
        QCOMPARE(field(w, "txtAvgAB"), QStringLiteral("90.0"));

        // Moved away, the cursors come back with a click on the same event.
        w.placeCursors(0, 5);
        QCOMPARE(w.slider()->Value2(), 5);
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, cell);
        QCOMPARE(w.slider()->Value1(), 20);
        QCOMPARE(w.slider()->Value2(), 34);

        // A threshold above the event: none left, and the next window has it.
        auto* threshold = w.eventsPanel()->findChild<QDoubleSpinBox*>("spnEventThreshold");
        QVERIFY(threshold);
        threshold->setValue(95.0);
        QCOMPARE(table.rowCount(), 0);
        QVERIFY(w.graph()->marks().spans.empty());
        QCOMPARE(w.graph()->marks().level, std::optional<double>(95.0));
        QCOMPARE(GraphEventsPanel::readCriteria(QSettings()).thresholdDb, 95.0);

        action->trigger();
        QVERIFY(!w.eventsVisible());
        QVERIFY(w.graph()->marks() == PESGraphMarks{});
    }

    void savedCriteria_data()
    {
        QTest::addColumn<QVariantMap>("saved");
        QTest::addColumn<QList<double>>("criteria"); // threshold, minimum duration, hysteresis
        QTest::newRow("none: the defaults") << QVariantMap{} << QList<double>{85.0, 10.0, 2.0};
        QTest::newRow("saved") << QVariantMap{{"EventThreshold", 70.04},
                                              {"EventMinDuration", 30.0},
                                              {"EventHysteresis", 0.0}}
                               << QList<double>{70.0, 30.0, 0.0};
        QTest::newRow("out of range or unreadable: the defaults")
            << QVariantMap{{"EventThreshold", "loud"},
                           {"EventMinDuration", 0.0},
                           {"EventHysteresis", -1.0}}
            << QList<double>{85.0, 10.0, 2.0};
    }

    void savedCriteria()
    {
        QFETCH(QVariantMap, saved);
        QFETCH(QList<double>, criteria);
        QSettings store;
        for (auto it = saved.cbegin(); it != saved.cend(); ++it)
            store.setValue(it.key(), it.value());
        const EventCriteria read = GraphEventsPanel::readCriteria(store);
        QCOMPARE(QList<double>({read.thresholdDb, read.minDurationSeconds, read.hysteresisDb}),
                 criteria);
        const GraphEventsPanel panel;
        QCOMPARE(panel.criteria().thresholdDb, criteria[0]);
        QCOMPARE(panel.criteria().minDurationSeconds, criteria[1]);
    }
};

AUDIMARK_TEST_MAIN_GUI(TestGraphEvents)
#include "tst_graphevents.moc"
