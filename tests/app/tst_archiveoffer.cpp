// A file opened while an archive is in use: its window offers to keep it in
// the archive; a click keeps it with the file's samples and says so, and the
// same file opened again is not offered any more. Without an archive
// nothing is offered.

#include <QApplication>

#include "common/TestMain.h"

#include "app/ArchiveFileOffer.h"
#include "app/ArchiveOfferBar.h"
#include "app/ArchiveSession.h"
#include "app/FileScript.h"
#include "app/TfrmMain.h"
#include "archive/Archive.h"
#include "data/DataSetCollection.h"
#include "files/formats/ExportText.h"
#include "files/formats/GraphExport.h"
#include "files/formats/GraphFile.h"
#include "graph/PESGraphBlock.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>

namespace {

constexpr double kStart = 40282.5; // 14 April 2010, 12:00:00
constexpr double kSecond = 1.0 / 86400.0;

std::vector<float> levels(int count)
{
    std::vector<float> y;
    for (int i = 0; i < count; ++i)
        y.push_back(55.0f + float(i % 9) + 0.5f);
    return y;
}

std::vector<double> times(int count)
{
    std::vector<double> x;
    for (int i = 0; i < count; ++i)
        x.push_back(kStart + i * kSecond);
    return x;
}

// The file of a row; the levels the archive should hold after it is kept.
std::vector<float> writeFile(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix();
    if (suffix == "ghf") {
        PESGraphState state;
        state.look = PESGraphLook::programDefault();
        state.content.points = 40;
        state.content.series = {{times(40), levels(40)}};
        (void)GraphFile::write(path, PESGraphBlock::encodeWhole(state));
        return levels(40);
    }
    if (suffix == "csv") {
        (void)GraphExport::write(path, times(25), levels(25), ExportRange::all(25),
                                 ExportText::Comma, QLocale());
        return levels(25);
    }
    vmeter::LoggerRecordContent record;
    record.start = QDateTime(QDate(2010, 4, 14), QTime(15, 30, 5));
    for (int i = 0; i < 30; ++i)
        record.samplesTenths.append(600 + 7 * i);
    vmeter::LoggerImageBuilder builder;
    builder.append(record);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(builder.image());
    std::vector<float> y;
    for (int i = 0; i < 30; ++i)
        y.push_back(float(600 + 7 * i) / 10.0f);
    return y;
}

} // namespace

class TestArchiveOffer : public QObject
{
    Q_OBJECT

private slots:
    void keepTheOpenedFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("choice");
        QTest::addColumn<bool>("archiveInUse");
        QTest::newRow("graph file") << "graph.ghf" << int(TfrmOpenSave::SingleSet) << true;
        QTest::newRow("CSV file") << "levels.csv" << int(TfrmOpenSave::SingleSet) << true;
        QTest::newRow("collection file") << "sets.rec" << int(TfrmOpenSave::Sets) << true;
        QTest::newRow("graph file, no archive")
            << "graph.ghf" << int(TfrmOpenSave::SingleSet) << false;
    }

    void keepTheOpenedFile()
    {
        QFETCH(QString, name);
        QFETCH(int, choice);
        QFETCH(bool, archiveInUse);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        const std::vector<float> expected = writeFile(path);
        ArchiveSession session;
        QVERIFY(session.open(archiveInUse ? dir.filePath("archive.sqlite") : QString()));

        FileScript files;
        files.choices << choice << choice;
        files.openNames << path << path;
        TfrmMain::Environment environment;
        environment.listPorts = [] { return QStringList{}; };
        environment.dataDirectory = dir.path();
        environment.fileDialogs = files.runner();
        environment.archive = &session;
        TfrmMain w(environment);
        QSignalSpy finished(&w, &TfrmMain::startUpFinished);
        w.resize(1100, 750);
        w.show();
        QVERIFY(finished.wait(20000));
        QAction* open = w.findChild<QAction*>(QStringLiteral("Open1"));
        const auto opened = [&]() -> QWidget* {
            open->trigger();
            QMdiSubWindow* frame = w.mdiArea()->currentSubWindow();
            return frame ? frame->widget() : nullptr;
        };

        QWidget* window = opened();
        QVERIFY(window);
        QVERIFY2(files.errors.isEmpty(), qPrintable(files.errors.join('\n')));
        auto* bar = window->findChild<ArchiveOfferBar*>(ArchiveOfferBar::ObjectName);
        if (!archiveInUse) {
            QVERIFY(!bar);
            return;
        }
        QVERIFY(bar);
        QTRY_VERIFY(bar->isVisible());
        QCOMPARE(bar->lblArchiveOffer()->text(), ArchiveFileOffer::offerText(path));
        QVERIFY(session.archive()->listMeasurements()->empty());

        QTest::mouseClick(bar->btnKeepInArchive(), Qt::LeftButton);
        QVERIFY(!bar->btnKeepInArchive()->isVisible());
        QVERIFY2(bar->lblArchiveOffer()->text().startsWith(name + " is kept in the archive"),
                 qPrintable(bar->lblArchiveOffer()->text()));
        const auto kept = session.archive()->listMeasurements();
        QCOMPARE(kept->size(), size_t(1));
        QCOMPARE(kept->front().kind, MeasurementKind::Import);
        QCOMPARE(session.archive()->readSamples(kept->front().id)->y, expected);

        QTest::mouseClick(bar->btnCloseArchiveOffer(), Qt::LeftButton);
        QTRY_VERIFY(!window->findChild<ArchiveOfferBar*>(ArchiveOfferBar::ObjectName));

        // Opened again: kept already, nothing offered.
        window = opened();
        QVERIFY(window);
        QVERIFY(!window->findChild<ArchiveOfferBar*>(ArchiveOfferBar::ObjectName));
        QCOMPARE(session.archive()->listMeasurements()->size(), size_t(1));
    }
};

AUDIMARK_TEST_MAIN_GUI(TestArchiveOffer)
#include "tst_archiveoffer.moc"
