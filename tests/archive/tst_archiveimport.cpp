// Files kept in the archive as measurements of kind import: a collection set
// by set, a text or CSV file as one series, a graph file series by series
// (as the graph window wrote it); the same file twice is kept once, and a
// file that does not read stores nothing.

#include "archive/Archive.h"
#include "archive/ArchiveImport.h"
#include "common/TestMain.h"
#include "data/DataSetCollection.h"
#include "data/GraphTexts.h"
#include "data/LoggerMemory.h"
#include "files/formats/ExportText.h"
#include "files/formats/GraphExport.h"
#include "files/formats/GraphFile.h"
#include "graph/PESGraphBlock.h"
#include "logger/RecordDecoder.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>

namespace {

constexpr double kStart = 40282.5; // 14 April 2010, 12:00:00
constexpr double kSecond = 1.0 / 86400.0;
constexpr double kHalfMs = 0.5 / 86400000.0;

struct Expected
{
    QString path;
    std::vector<ArchiveSeries> series;
    qint64 intervalMs = 0;
    QString weighting; // of the first series
};

ArchiveSeries points(int count, double step, float base)
{
    ArchiveSeries s;
    for (int i = 0; i < count; ++i) {
        s.x.push_back(kStart + i * step * kSecond);
        s.y.push_back(base + float(i % 7) + 0.5f);
    }
    return s;
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray collectionImage()
{
    vmeter::LoggerImageBuilder builder;
    for (int k = 0; k < 2; ++k) {
        vmeter::LoggerRecordContent record;
        record.start = QDateTime(QDate(2010, 4, 14 + k), QTime(15, 30, 5));
        record.intervalSeconds = vmeter::LoggerImageBuilder::bcd(10 + k);
        record.aWeighting = k == 0;
        for (int i = 0; i < 5 + 4 * k; ++i)
            record.samplesTenths.append(600 + 13 * i + k);
        builder.append(record);
    }
    return builder.image();
}

QByteArray graphBlock(const std::vector<ArchiveSeries>& series, int emptyTail)
{
    PESGraphState state;
    state.look = PESGraphLook::programDefault();
    state.content.points = int(series.front().x.size()) + emptyTail;
    for (const ArchiveSeries& s : series) {
        PESGraphSeries one{s.x, s.y};
        one.x.resize(size_t(state.content.points), 0.0);
        one.y.resize(size_t(state.content.points), 0.0f);
        state.content.series.push_back(one);
    }
    state.content.annotations[3] = {kStart, 70.0, PESAnnotationType::Cross, "door", QColor()};
    return PESGraphBlock::encodeWhole(state);
}

// Writes the file of a row and says what the archive should hold.
Expected writeFile(const QTemporaryDir& dir, const QString& which)
{
    Expected e;
    if (which == "collection") {
        e.path = dir.filePath("sets.rec");
        const QByteArray image = collectionImage();
        writeBytes(e.path, image);
        LoggerMemory memory;
        memory.memoryImage() = image;
        memory.setMemoryEnd(memory.memoryEndFromImage());
        DataSetCollection collection;
        if (decodeImage(memory, collection, QDateTime::currentDateTime()) != LoadResult::Ok)
            return e;
        for (qsizetype k = 0; k < collection.count(); ++k) {
            const auto x = collection.timesOf(k);
            const auto y = collection.valuesOf(k);
            e.series.push_back({{x.begin(), x.end()}, {y.begin(), y.end()}});
        }
        e.intervalMs = 10000;
        e.weighting = "A";
    } else if (which == "text" || which == "csv") {
        e.path = dir.filePath(which == "text" ? "series.txt" : "series.csv");
        e.series = {points(12, 2.0, 55.0f)};
        const ArchiveSeries& s = e.series.front();
        (void)GraphExport::write(e.path, s.x, s.y, ExportRange::all(int(s.y.size())),
                                 which == "text" ? ExportText::Tab : ExportText::Comma,
                                 QLocale::c());
        e.intervalMs = 2000;
    } else {
        const bool two = which == "graph, two series";
        e.path = dir.filePath(two ? "two.ghf" : "one.ghf");
        e.series = {points(20, 0.5, 60.0f)};
        if (two)
            e.series.push_back(points(20, 0.5, 40.0f));
        (void)GraphFile::write(e.path, graphBlock(e.series, two ? 0 : 30));
        e.intervalMs = 500;
    }
    return e;
}

} // namespace

class TestArchiveImport : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;

    std::unique_ptr<Archive> newArchive(const QString& name)
    {
        ArchiveOpenResult opened = Archive::open(dir_.filePath(name + ".sqlite"));
        if (!opened.archive)
            qWarning("%s", qPrintable(opened.error));
        return std::move(opened.archive);
    }

private slots:
    void keepsEachFormatOnce_data()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("collection, each set") << "collection";
        QTest::newRow("text file") << "text";
        QTest::newRow("CSV file") << "csv";
        QTest::newRow("graph file, points after the last sample empty") << "graph";
        QTest::newRow("graph file, two series") << "graph, two series";
    }

    void keepsEachFormatOnce()
    {
        QFETCH(QString, which);
        const Expected e = writeFile(dir_, which);
        QVERIFY(!e.series.empty());
        std::unique_ptr<Archive> archive = newArchive(which);
        QVERIFY(archive);
        const QDateTime now = QDateTime::currentDateTime();
        QVERIFY(!ArchiveImport::presence(*archive, e.path, now, QLocale::c()).kept);

        const ArchiveImport::Outcome kept =
            ArchiveImport::keep(*archive, e.path, now, QLocale::c());
        QVERIFY2(kept.stored, qPrintable(kept.error));
        QCOMPARE(kept.ids.size(), e.series.size());
        QCOMPARE(kept.added, int(e.series.size()));
        for (size_t s = 0; s < e.series.size(); ++s) {
            const std::optional<Measurement> m = archive->measurement(kept.ids[s]);
            QVERIFY(m);
            QCOMPARE(m->kind, MeasurementKind::Import);
            QCOMPARE(m->notes, QFileInfo(e.path).fileName());
            QVERIFY(!m->unfinished);
            QCOMPARE(m->start, GraphTexts::toDateTime(e.series[s].x.front()));
            const std::optional<ArchiveSeries> got = archive->readSamples(kept.ids[s]);
            QVERIFY(got);
            QCOMPARE(got->y, e.series[s].y);
            QCOMPARE(got->x.size(), e.series[s].x.size());
            for (size_t i = 0; i < got->x.size(); ++i)
                QVERIFY(std::abs(got->x[i] - e.series[s].x[i]) < kHalfMs);
        }
        const Measurement first = *archive->measurement(kept.ids.front());
        QCOMPARE(first.intervalMs, e.intervalMs);
        QCOMPARE(first.weighting, e.weighting);
        QVERIFY(ArchiveImport::presence(*archive, e.path, now, QLocale::c()).kept);

        const ArchiveImport::Outcome again =
            ArchiveImport::keep(*archive, e.path, now, QLocale::c());
        QVERIFY(again.stored);
        QCOMPARE(again.added, 0);
        QCOMPARE(again.ids, kept.ids);
        QCOMPARE(archive->listMeasurements()->size(), e.series.size());
    }

    void damagedFileStoresNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        const std::vector<ArchiveSeries> one{points(20, 1.0, 60.0f)};
        QByteArray flipped = graphBlock(one, 0);
        flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x10);
        const auto container = [](const QByteArray& block) {
            QByteArray bytes(4, '\0');
            qToLittleEndian<quint32>(quint32(block.size()), bytes.data());
            return bytes + block;
        };
        QTest::newRow("graph file, one bit changed") << "flipped.ghf" << container(flipped);
        QTest::newRow("graph file cut short")
            << "short.ghf" << container(graphBlock(one, 0)).left(200);
        QTest::newRow("graph template, no chart")
            << "template.ghf"
            << container(PESGraphBlock::encodeCustomization(PESGraphLook::programDefault()));
        QTest::newRow("graph file without points")
            << "empty.ghf" << container(graphBlock(std::vector<ArchiveSeries>(1), 5));
        QTest::newRow("collection of zero bytes") << "zero.rec" << QByteArray(300, '\0');
        QTest::newRow("text without separators") << "words.txt" << QByteArray("no levels\r\n");
    }

    void damagedFileStoresNothing()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        const QString path = dir_.filePath(name);
        QVERIFY(writeBytes(path, bytes));
        std::unique_ptr<Archive> archive = newArchive("damaged-" + name);
        QVERIFY(archive);
        const ArchiveImport::Outcome outcome =
            ArchiveImport::keep(*archive, path, QDateTime::currentDateTime(), QLocale::c());
        QVERIFY(!outcome.stored);
        QVERIFY2(outcome.error.contains(name), qPrintable(outcome.error));
        QVERIFY(outcome.ids.empty());
        QCOMPARE(archive->listMeasurements()->size(), size_t(0));
        QVERIFY(!ArchiveImport::presence(*archive, path, QDateTime::currentDateTime()).readable);
    }
};

AUDIMARK_TEST_MAIN_CORE(TestArchiveImport)
#include "tst_archiveimport.moc"
