#include <QApplication>

#include "common/TestMain.h"

#include "files/dialogs/TVersionInfo.h"
#include "files/dialogs/TfrmAbout.h"

#include <QLabel>
#include <QPushButton>

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void aboutShowsTheProgramsVersion()
    {
        TfrmAbout about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About Audimark For Sound Level Meter"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("Label3"))->text(),
                 QStringLiteral("QV-58M Software"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("Version:"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("Label2"))->text(),
                 QStringLiteral("3.5.0.0"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("Label4"))->text(), QString());
    }

    void aProgramWithoutVersionInformationShowsAnEmptyText()
    {
        TfrmAbout about(nullptr, QStringLiteral(":/nowhere/version.txt"));
        QCOMPARE(about.versionText(), QString());
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("Version:"));
    }

    void versionRecord_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QString>("version");
        QTest::newRow("file version among others")
            << QByteArray("ProductName=Audimark\nFileVersion=3.5.0.0\n") << "3.5.0.0";
        QTest::newRow("blanks and CR LF") << QByteArray("FileVersion= 1.2.3.4 \r\n") << "1.2.3.4";
        QTest::newRow("no file version") << QByteArray("ProductVersion=3.5\n") << "";
        QTest::newRow("empty record") << QByteArray() << "";
    }

    void versionRecord()
    {
        QFETCH(QByteArray, record);
        QFETCH(QString, version);
        QCOMPARE(TVersionInfo::fileVersionFrom(record), version);
    }

    void labelBinding()
    {
        TVersionInfo info;
        QCOMPARE(info.versionText(), QStringLiteral("3.5.0.0"));

        auto* label = new QLabel(QStringLiteral("6.0.10.161"));
        info.SetFileVersionLabel(label);
        QCOMPARE(label->text(), QStringLiteral("3.5.0.0"));
        label->setText(QString());
        info.Loaded();
        QCOMPARE(label->text(), QStringLiteral("3.5.0.0"));

        // A removed label is forgotten; a later Loaded writes nowhere.
        delete label;
        QCOMPARE(info.FileVersionLabel(), nullptr);
        info.Loaded();
    }

    void splashHidesTheOkButtonAndShowsProgress()
    {
        TfrmAbout splash;
        splash.showAsSplash();
        QVERIFY(splash.isVisible());
        QVERIFY(splash.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->isHidden());
        splash.setProgressText(QStringLiteral("Searching Meter on /dev/ttyUSB0"));
        QCOMPARE(splash.findChild<QLabel*>(QStringLiteral("Label4"))->text(),
                 QStringLiteral("Searching Meter on /dev/ttyUSB0"));
    }

    void okClosesTheAboutBox()
    {
        TfrmAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        about.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
        QVERIFY(!about.isVisible());
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }
};

AUDIMARK_TEST_MAIN_GUI(TestAbout)
#include "tst_about.moc"
