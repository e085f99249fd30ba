// The shared progress and range dialog: nothing shows until a use asks for
// it, a transfer shows its counters, and Cancel is seen by a modeless user
// without closing the dialog, while a modal range choice ends with OK or
// Cancel.

#include <QApplication>

#include "common/TestMain.h"

#include "files/dialogs/TfrmScope.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

class TestTfrmScope : public QObject
{
    Q_OBJECT

private slots:
    void everythingHiddenAtFirst()
    {
        TfrmScope scope;
        scope.show();
        for (QWidget* control :
             {static_cast<QWidget*>(scope.Progress1()), static_cast<QWidget*>(scope.SText1()),
              static_cast<QWidget*>(scope.SText2()),
              static_cast<QWidget*>(scope.lblBytesReceived()),
              static_cast<QWidget*>(scope.lblTotalBytes()),
              static_cast<QWidget*>(scope.GroupBox1()), static_cast<QWidget*>(scope.BitBtn1()),
              static_cast<QWidget*>(scope.BitBtn2())})
            QVERIFY2(!control->isVisible(), qPrintable(control->objectName()));
        QCOMPARE(scope.modalResult(), int(TfrmScope::None));
    }

    void transferCounters()
    {
        TfrmScope scope;
        scope.showTransfer(4160);
        scope.show();
        QVERIFY(scope.Progress1()->isVisible());
        QCOMPARE(scope.SText1()->text(), QStringLiteral("bytes received"));
        QCOMPARE(scope.SText2()->text(), QStringLiteral("total bytes"));
        QCOMPARE(scope.lblTotalBytes()->text(), QStringLiteral("4160"));
        QCOMPARE(scope.lblBytesReceived()->text(), QStringLiteral("0"));
        scope.setBytesReceived(1280);
        QCOMPARE(scope.lblBytesReceived()->text(), QStringLiteral("1280"));
        QCOMPARE(scope.Progress1()->value(), 1280);
        QCOMPARE(scope.Progress1()->maximum(), 4160);
        QVERIFY(!scope.GroupBox1()->isVisible());
    }

    void modelessCancelOnlyMarks()
    {
        TfrmScope scope;
        scope.BitBtn2()->show();
        scope.show();
        scope.BitBtn2()->click();
        QVERIFY(scope.cancelled());
        QCOMPARE(scope.modalResult(), int(TfrmScope::Cancel));
        QVERIFY(scope.isVisible());
    }

    void modalRange_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }

    void modalRange()
    {
        QFETCH(bool, ok);
        TfrmScope scope;
        scope.GroupBox1()->show();
        scope.BitBtn1()->show();
        scope.BitBtn2()->show();
        scope.edtSelTo()->setText(QStringLiteral("120"));
        QVERIFY(scope.radAll()->isChecked());
        QVERIFY(!scope.edtSelFrom()->isEnabled());
        QTimer::singleShot(0, &scope, [&] {
            scope.radNo()->click();
            QVERIFY(scope.edtSelFrom()->isEnabled());
            (ok ? scope.BitBtn1() : scope.BitBtn2())->click();
        });
        const int result = scope.exec();
        QCOMPARE(result, ok ? int(QDialog::Accepted) : int(QDialog::Rejected));
        QCOMPARE(scope.modalResult(), ok ? int(TfrmScope::Ok) : int(TfrmScope::Cancel));
        QVERIFY(scope.radNo()->isChecked());
        QCOMPARE(scope.edtSelFrom()->text(), QStringLiteral("1"));
        QCOMPARE(scope.edtSelTo()->text(), QStringLiteral("120"));
    }
};

AUDIMARK_TEST_MAIN_GUI(TestTfrmScope)
#include "tst_tfrmscope.moc"
