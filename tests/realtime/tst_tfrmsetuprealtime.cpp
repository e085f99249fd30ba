#include <QApplication>

#include "common/TestMain.h"

#include "realtime/TfrmSetupRealTime.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

namespace {
template <typename T> T* child(QWidget& w, const char* name)
{
    T* found = w.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

QStringList items(QComboBox* box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}
} // namespace

class TestTfrmSetupRealTime : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void texts()
    {
        TfrmSetupRealTime form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Real-Time Setup"));
        QCOMPARE(child<QLabel>(form, "Label1")->text(),
                 QStringLiteral("Real-Time data no to be recorded"));
        QCOMPARE(child<QLabel>(form, "Label2")->text(),
                 QStringLiteral("(Adjust the number to meet your need)"));
        QCOMPARE(child<QLabel>(form, "Label3")->text(), QStringLiteral("Real -Time Sampling Rate"));
        QCOMPARE(child<QLabel>(form, "Label4")->text(), QStringLiteral("Recording Period"));
        QCOMPARE(child<QLabel>(form, "Label5")->text(), QStringLiteral("HH:MM:SS"));
        QCOMPARE(child<QLabel>(form, "Label6")->text(), QStringLiteral("second"));
        QCOMPARE(child<QPushButton>(form, "btnOpenSingleSet")->text(), QStringLiteral("Start"));
        QCOMPARE(child<QPushButton>(form, "Button1")->text(), QStringLiteral("Cancel"));
        QCOMPARE(form.pointCountText().trimmed(), QStringLiteral("2000"));
        QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!child<QLineEdit>(form, "edtPeriod")->isEnabled());
    }

    void rateItems_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("C") << "C" << QStringList{"0.1", "0.2",  "0.5",  "1.0", "2.0",
                                                 "5.0", "10.0", "20.0", "30.0"};
        QTest::newRow("de_DE") << "de_DE" << QStringList{"0,1", "0,2",  "0,5",  "1,0", "2,0",
                                                         "5,0", "10,0", "20,0", "30,0"};
    }

    void rateItems()
    {
        QFETCH(QString, locale);
        QFETCH(QStringList, expected);
        QLocale::setDefault(QLocale(locale));
        TfrmSetupRealTime form;
        form.setRateText(expected.at(1));
        form.show();
        QCOMPARE(items(child<QComboBox>(form, "txtRate")), expected);
        QCOMPARE(form.rateText(), expected.at(1)); // the text survives the refill
    }

    void fiveDigitsAtMost()
    {
        TfrmSetupRealTime form;
        QLineEdit* edit = child<QLineEdit>(form, "edtRealTimeNo");
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("1234567"));
        QCOMPARE(form.pointCountText().trimmed(), QStringLiteral("12345"));
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("a9"));
        QCOMPARE(form.pointCountText().trimmed(), QStringLiteral("9"));
    }

    // Places without a digit show as blanks, and one to five digits make a
    // complete count.
    void pointCountField_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("text");
        QTest::newRow("as opened") << QString() << " 2000"
                                   << "2000";
        QTest::newRow("three digits") << "150"
                                      << "150  "
                                      << "150";
        QTest::newRow("five digits") << "99999"
                                     << "99999"
                                     << "99999";
    }

    void pointCountField()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, text);
        TfrmSetupRealTime form;
        QLineEdit* edit = child<QLineEdit>(form, "edtRealTimeNo");
        if (!typed.isEmpty()) {
            edit->selectAll();
            QTest::keyClicks(edit, typed);
        }
        QCOMPARE(edit->displayText(), shown);
        QCOMPARE(form.pointCountText(), text);
        QVERIFY(edit->hasAcceptableInput());
    }

    void periods_data()
    {
        QTest::addColumn<double>("initialInterval");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("changed");
        QTest::newRow("0.2 s, then 1000 points") << 0.2 << "0:6:40"
                                                 << "1000"
                                                 << "0.2"
                                                 << "0:03:20";
        QTest::newRow("30 s, then 2000 at 0.5") << 30.0 << "16:40:0"
                                                << "2000"
                                                << "0.5"
                                                << "0:16:40";
        QTest::newRow("empty count counts as 0") << 0.1 << "0:3:20"
                                                 << ""
                                                 << "1.0"
                                                 << "0:00:00";
        // A rate out of range gives no period: the last one stays.
        QTest::newRow("1e39 typed") << 0.2 << "0:6:40"
                                    << "2000"
                                    << "1e39"
                                    << "0:6:40";
        QTest::newRow("1e20 typed") << 0.2 << "0:6:40"
                                    << "99999"
                                    << "1e20"
                                    << "0:6:40";
    }

    void periods()
    {
        QFETCH(double, initialInterval);
        QFETCH(QString, opened);
        QFETCH(QString, count);
        QFETCH(QString, rate);
        QFETCH(QString, changed);
        TfrmSetupRealTime form;
        form.setRateText(QStringLiteral("0.2"));
        form.setInitialPeriod(initialInterval);
        form.show();
        QCOMPARE(form.periodText(), opened);
        child<QComboBox>(form, "txtRate")->setEditText(rate);
        child<QLineEdit>(form, "edtRealTimeNo")->setText(count);
        QCOMPARE(form.periodText(), changed);
    }

    void startAndCancel()
    {
        TfrmSetupRealTime form;
        form.show();
        QTest::mouseClick(child<QPushButton>(form, "btnOpenSingleSet"), Qt::LeftButton);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        TfrmSetupRealTime other;
        other.show();
        QTest::mouseClick(child<QPushButton>(other, "Button1"), Qt::LeftButton);
        QCOMPARE(other.result(), int(QDialog::Rejected));
    }
};

AUDIMARK_TEST_MAIN_GUI(TestTfrmSetupRealTime)
#include "tst_tfrmsetuprealtime.moc"
