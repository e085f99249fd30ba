// audimark-cli stats and report on a CSV file with rows whose level does not
// read ("OVER", an empty cell): those rows are left out, not taken as 0 dB,
// and the tool says how many on stderr; the JSON output counts them.

#include "common/CliProcess.h"
#include "common/TestMain.h"
#include "files/formats/ExportText.h"
#include "logger/DateTimeValue.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace {
const QLocale us(QLocale::English, QLocale::UnitedStates);

// A graph export of levels one second apart; an empty optional writes the
// line with `missing` in place of the level.
QByteArray csvOf(const QList<std::optional<float>>& levels, const QByteArray& missing)
{
    const double start = DateTimeValue::fromDateTime(QDate(2010, 4, 14), QTime(9, 5, 7));
    QByteArray bytes;
    for (int i = 0; i < levels.size(); ++i) {
        const double x = start + i / 86400.0;
        QByteArray line =
            ExportText::graphExportLine(x, levels[i].value_or(0.0f), ExportText::Comma, us)
                .toUtf8();
        if (!levels[i])
            line = line.left(line.lastIndexOf(',') + 1) + missing;
        bytes += line + "\r\n";
    }
    return bytes;
}
} // namespace

class TestCliTabular : public QObject
{
    Q_OBJECT

private slots:
    void rowsWithoutLevel_data()
    {
        QTest::addColumn<QByteArray>("missing");
        QTest::addColumn<QList<std::optional<float>>>("levels");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<QString>("note");
        QTest::newRow("two OVER rows")
            << QByteArray("OVER") << QList<std::optional<float>>{60.0f, {}, 70.0f, {}, 80.0f} << 2
            << "audimark-cli: 2 rows without a level skipped\n";
        QTest::newRow("one empty level")
            << QByteArray() << QList<std::optional<float>>{60.0f, 70.0f, {}, 80.0f} << 1
            << "audimark-cli: 1 row without a level skipped\n";
        QTest::newRow("every level reads: nothing said")
            << QByteArray() << QList<std::optional<float>>{60.0f, 70.0f, 80.0f} << 0 << "";
    }

    void rowsWithoutLevel()
    {
        QFETCH(QByteArray, missing);
        QFETCH(QList<std::optional<float>>, levels);
        QFETCH(int, skipped);
        QFETCH(QString, note);
        QTemporaryDir dir;
        const QString csv = dir.filePath("levels.csv");
        QFile file(csv);
        const QByteArray bytes = csvOf(levels, missing);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        QProcessEnvironment environment = localeEnvironment(QStringLiteral("en_US.UTF-8"));
        // A private runtime directory, as a desktop session has one (the
        // report draws its page with the GUI library).
        QVERIFY(QDir(dir.path()).mkdir("runtime"));
        QFile::setPermissions(dir.filePath("runtime"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                  QFileDevice::ExeOwner);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath("runtime"));

        const CliRun json = runCli({"stats", csv, "--format", "json"}, environment);
        QCOMPARE(json.status, 0);
        QCOMPARE(json.err, note);
        const QJsonObject root = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QCOMPARE(root.value("rows_without_level").toInt(-1), skipped);
        const QJsonObject acoustic = root.value("whole").toObject().value("acoustic").toObject();
        QCOMPARE(acoustic.value("samples").toInt(), int(levels.size()) - skipped);
        QCOMPARE(acoustic.value("lmin_db").toDouble(), 60.0);
        QCOMPARE(acoustic.value("l90_db").toDouble() >= 60.0, true);

        const CliRun text = runCli({"stats", csv}, environment);
        QCOMPARE(text.status, 0);
        QCOMPARE(text.err, note);

        const CliRun report =
            runCli({"report", csv, "--out", dir.filePath("report.pdf")}, environment);
        QCOMPARE(report.status, 0);
        QCOMPARE(report.err, note);
        QVERIFY(QFileInfo(dir.filePath("report.pdf")).size() > 0);
    }
};

AUDIMARK_TEST_MAIN_CORE(TestCliTabular)
#include "tst_clitabular.moc"
