// audimark-cli periods, events, dose and the day-evening-night levels of
// stats, run as a process on a collection file (A-weighted logger data) and
// on CSV files of the graph export: the JSON keys and values the figures
// are worked out to by hand, ISO times with the offset of the time zone,
// text and CSV beside JSON, and usage errors as status 2.

#include "common/CliProcess.h"
#include "common/TestMain.h"
#include "files/formats/ExportText.h"
#include "logger/DateTimeValue.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using vmeter::LoggerImageBuilder;
using vmeter::LoggerRecordContent;

namespace {
const QLocale us(QLocale::English, QLocale::UnitedStates);

// One set, A weighting: 900 samples 2 s apart from 09:50:00, 60 dB with 80 dB
// from 09:59:50 to 10:00:10 (ten samples over the hour's turn).
void writeRec(const QString& path)
{
    LoggerImageBuilder builder;
    LoggerRecordContent content;
    content.start = QDateTime(QDate(2010, 4, 14), QTime(9, 50, 0));
    content.intervalSeconds = LoggerImageBuilder::bcd(2);
    content.aWeighting = true;
    for (int i = 0; i < 900; ++i)
        content.samplesTenths.append(i >= 295 && i < 305 ? 800 : 600);
    QVERIFY(builder.append(content));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(builder.image()) == builder.image().size());
}

// A graph export of `count` rows of one level, `step` seconds apart.
void writeCsv(const QString& path, const QDateTime& start, int count, double step, float level)
{
    const double first = DateTimeValue::fromDateTime(start.date(), start.time());
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes +=
            ExportText::graphExportLine(first + i * step / 86400.0, level, ExportText::Comma, us)
                .toUtf8() +
            "\r\n";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(bytes) == bytes.size());
}

QProcessEnvironment environmentIn(const QString& timeZone)
{
    QProcessEnvironment environment = localeEnvironment(QStringLiteral("en_US.UTF-8"));
    environment.insert(QStringLiteral("TZ"), timeZone);
    environment.remove(QStringLiteral("AUDIMARK_ARCHIVE"));
    return environment;
}

// The command with its file and options: arguments[0] is the command.
QStringList withFile(const QStringList& arguments, const QString& file)
{
    return arguments.mid(0, 1) + QStringList{file} + arguments.mid(1);
}

// The value at a path of keys and indices, "periods/1/laeq_db".
QJsonValue at(const QJsonValue& root, const QString& path)
{
    QJsonValue v = root;
    for (const QString& part : path.split('/')) {
        bool index = false;
        const int i = part.toInt(&index);
        v = index ? v.toArray().at(i) : v.toObject().value(part);
    }
    return v;
}

} // namespace

class TestCliFigures : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString rec_;
    QString loud_; // 1 h at 88 dB, 10 s apart
    QString day_;  // 24 h at 60 dB from 07:00, 1 min apart
    QString archive_; // the set of rec_ as measurement 1
    QString exported_; // measurement 1 as `archive export 1 --format txt` writes it

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        rec_ = dir_.filePath("day.rec");
        loud_ = dir_.filePath("loud.csv");
        day_ = dir_.filePath("day.csv");
        writeRec(rec_);
        writeCsv(loud_, QDateTime(QDate(2010, 4, 14), QTime(8, 0)), 360, 10.0, 88.0f);
        writeCsv(day_, QDateTime(QDate(2010, 4, 14), QTime(7, 0)), 24 * 60, 60.0, 60.0f);
        archive_ = dir_.filePath("archive.sqlite");
        exported_ = dir_.filePath("exported.txt");
        const CliRun import =
            runCli({"archive", "import", rec_, "--archive", archive_}, environmentIn("UTC"));
        QVERIFY2(import.status == 0, qPrintable(import.err));
        const CliRun exported = runCli({"archive", "export", "1", "--format", "txt", "--out",
                                        exported_, "--archive", archive_},
                                       environmentIn("UTC"));
        QVERIFY2(exported.status == 0, qPrintable(exported.err));
    }

    void json_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("timeZone");
        QTest::addColumn<QVariantMap>("expected"); // path -> value
        const QString rec = QStringLiteral("REC");
        QTest::newRow("periods: 15 min aligned, ragged ends incomplete")
            << QStringList{"periods", rec, "--period", "15m", "--threshold", "70"} << "UTC"
            << QVariantMap{{"weighting", "A"},
                           {"leq_name", "LAeq"},
                           {"set", 1},
                           {"period_s", 900},
                           {"percentile_rule", "nearest rank"},
                           {"sampling", "sampled: 900 readings at 2 s"},
                           {"counts/samples", 900},
                           {"periods/0/start", "2010-04-14T09:45:00.000+00:00"},
                           {"periods/0/end", "2010-04-14T10:00:00.000+00:00"},
                           {"periods/0/samples", 300},
                           {"periods/0/coverage", 0.6667},
                           {"periods/0/complete", false},
                           {"periods/0/events", 1},
                           {"periods/1/laeq_db", 63.22},
                           {"periods/1/lmax_db", 80},
                           {"periods/1/l10_db", 60},
                           {"periods/1/l90_db", 60},
                           {"periods/1/samples", 450},
                           {"periods/1/coverage", 1},
                           {"periods/1/complete", true},
                           {"periods/1/events", 0},
                           {"periods/2/start", "2010-04-14T10:15:00.000+00:00"},
                           {"periods/2/coverage", 0.3333}};
        QTest::newRow("periods: the offset of the local time zone")
            << QStringList{"periods", rec, "--period", "1h"} << "Europe/Berlin"
            << QVariantMap{{"periods/0/start", "2010-04-14T09:00:00.000+02:00"},
                           {"periods/1/end", "2010-04-14T11:00:00.000+02:00"}};
        QTest::newRow("events: one over the hour's turn, SEL")
            << QStringList{"events", rec, "--threshold", "70", "--min-duration", "10s"} << "UTC"
            << QVariantMap{{"event_criteria/threshold_db", 70},
                           {"event_criteria/min_duration_s", 10},
                           {"event_criteria/hysteresis_db", 2},
                           {"events/0/start", "2010-04-14T09:59:50.000+00:00"},
                           {"events/0/end", "2010-04-14T10:00:10.000+00:00"},
                           {"events/0/duration_s", 20},
                           {"events/0/lmax_db", 80},
                           {"events/0/laeq_db", 80},
                           {"events/0/sel_db", 93.01}};
        QTest::newRow("events: longer minimum, none")
            << QStringList{"events", rec, "--threshold", "70", "--min-duration", "1m"} << "UTC"
            << QVariantMap{{"events/0", QVariant()}};
        QTest::newRow("dose: 1 h at 88 dB for 8 h, 3 dB rate")
            << QStringList{"dose", "LOUD", "--exposure", "8h"} << "UTC"
            << QVariantMap{{"lex_8h_db", 88},    {"dose_percent", 200},    {"exchange_rate_db", 3},
                           {"criterion_db", 85}, {"exposure_s", 28800},    {"measured_s", 3600},
                           {"leq_db", 88},       {"weighting", "unknown"}, {"set", QVariant()}};
        QTest::newRow("dose: 4 h of exposure")
            << QStringList{"dose", "LOUD", "--exposure", "4h"} << "UTC"
            << QVariantMap{{"lex_8h_db", 84.99}, {"dose_percent", 99.76}};
        QTest::newRow("dose: 5 dB rate, its own criterion")
            << QStringList{"dose", "LOUD", "--exchange-rate", "5"} << "UTC"
            << QVariantMap{{"exchange_rate_db", 5},
                           {"criterion_db", 90},
                           {"dose_percent", 75.79},
                           {"average_db", 88}};
        QTest::newRow("stats: Lden of a day at 60 dB")
            << QStringList{"stats", "DAY"} << "UTC"
            << QVariantMap{{"day_evening_night/lden_db", 66.4},
                           {"day_evening_night/ldn_db", 66.02},
                           {"day_evening_night/lday_db", 60},
                           {"day_evening_night/night_coverage", 1},
                           {"day_evening_night/days/0/date", "2010-04-14"},
                           {"day_evening_night/days/0/start", "2010-04-14T07:00:00.000+00:00"},
                           {"day_evening_night/day_start", "07:00"},
                           {"day_evening_night/night_penalty_db", 10},
                           {"percentile_rule", "nearest rank"},
                           {"whole/acoustic/leq_db", 60}};
        QTest::newRow("stats: own periods and penalties")
            << QStringList{"stats",           "DAY", "--den-hours", "06:00,18:00,22:00",
                           "--den-penalties", "0,5"}
            << "UTC"
            << QVariantMap{{"day_evening_night/lden_db", 62.36},
                           {"day_evening_night/evening_penalty_db", 0}};
    }

    void json()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, timeZone);
        QFETCH(QVariantMap, expected);
        arguments.replaceInStrings(QRegularExpression("^REC$"), rec_);
        arguments.replaceInStrings(QRegularExpression("^LOUD$"), loud_);
        arguments.replaceInStrings(QRegularExpression("^DAY$"), day_);
        const CliRun run =
            runCli(arguments + QStringList{"--format", "json"}, environmentIn(timeZone));
        QCOMPARE(run.status, 0);
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(run.out.toUtf8(), &error);
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(run.out));
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            const QJsonValue got = at(document.object(), it.key());
            const QVariant want = it.value();
            if (!want.isValid()) {
                QVERIFY2(got.isNull() || got.isUndefined(), qPrintable(it.key()));
            } else if (want.typeId() == QMetaType::QString) {
                QCOMPARE(got.toString(), want.toString());
            } else if (want.typeId() == QMetaType::Bool) {
                QVERIFY2(got.isBool() && got.toBool() == want.toBool(), qPrintable(it.key()));
            } else {
                QVERIFY2(got.isDouble(), qPrintable(it.key() + " is not a number"));
                QVERIFY2(std::abs(got.toDouble() - want.toDouble()) < 0.006,
                         qPrintable(it.key() + ": " + QString::number(got.toDouble())));
            }
        }
    }

    void csvAndText_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("periods csv")
            << QStringList{"periods", "REC", "--period", "15m", "--format", "csv"} << "de_DE.UTF-8"
            << QStringList{"start,end,laeq_db,lmax_db,l10_db,l90_db,samples,coverage,complete\n",
                           "2010-04-14T10:00:00.000+00:00,2010-04-14T10:15:00.000+00:00,63.22,"
                           "80.00,60.00,60.00,450,1.0000,true\n"};
        QTest::newRow("periods text, German")
            << QStringList{"periods", "REC", "--period", "15m"} << "de_DE.UTF-8"
            << QStringList{
                   "2010-04-14 09:45:00\t2010-04-14 10:00:00\t64,2\t80,0\t60,0\t60,0\t300\t67 %"
                   "\tincomplete\n",
                   "note\tsampled: 900 readings at 2 s\n"};
        QTest::newRow("events csv")
            << QStringList{"events", "REC", "--threshold", "70", "--format", "csv"} << "en_US.UTF-8"
            << QStringList{"start,end,duration_s,lmax_db,laeq_db,sel_db\n",
                           "2010-04-14T09:59:50.000+00:00,2010-04-14T10:00:10.000+00:00,20.000,"
                           "80.00,80.00,93.01\n"};
        QTest::newRow("dose text") << QStringList{"dose", "LOUD"} << "en_US.UTF-8"
                                   << QStringList{"LEX,8h\t88.0 dB\n", "dose\t200.0 %\n",
                                                  "note\ta dose is defined on A-weighted levels\n"};
        QTest::newRow("stats text: the day-evening-night table")
            << QStringList{"stats", "DAY"} << "en_US.UTF-8"
            << QStringList{"2010-04-14\t60.0\t60.0\t60.0\t66.4\t66.0\t100 %\t100 %\t100 %\n"};
        QTest::newRow("stats text, German: half an hour of a day period")
            << QStringList{"stats", "REC"} << "de_DE.UTF-8"
            << QStringList{"2010-04-14\t63,2\t-\t-\t-\t-\t4 %\t0 %\t0 %\n"};
    }

    void csvAndText()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, locale);
        QFETCH(QStringList, lines);
        arguments.replaceInStrings(QRegularExpression("^REC$"), rec_);
        arguments.replaceInStrings(QRegularExpression("^LOUD$"), loud_);
        arguments.replaceInStrings(QRegularExpression("^DAY$"), day_);
        QProcessEnvironment environment = localeEnvironment(locale);
        environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
        const CliRun run = runCli(arguments, environment);
        QCOMPARE(run.status, 0);
        for (const QString& line : lines)
            QVERIFY2(run.out.contains(line), qPrintable(line + " not in\n" + run.out));
    }

    // archive:ID gives what the file `archive export ID` writes gives.
    void archiveMeasurement_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("mention");
        QTest::newRow("periods json")
            << QStringList{"periods", "--period", "15m", "--threshold", "70", "--format", "json"}
            << "\"events\": 1";
        QTest::newRow("events csv")
            << QStringList{"events", "--threshold", "70", "--format", "csv"} << ",93.01\n";
        QTest::newRow("events text, a span")
            << QStringList{"events", "--threshold", "70", "--from", "09:55", "--to", "10:05"}
            << "events\t1\n";
        QTest::newRow("dose text") << QStringList{"dose", "--exposure", "1h"} << "LEX,8h\t";
    }

    void archiveMeasurement()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, mention);
        const CliRun ofFile = runCli(withFile(arguments, exported_), environmentIn("UTC"));
        QVERIFY2(ofFile.status == 0, qPrintable(ofFile.err));
        QVERIFY2(ofFile.out.contains(mention), qPrintable(ofFile.out));
        const CliRun ofArchive =
            runCli(withFile(arguments, "archive:1") + QStringList{"--archive", archive_},
                   environmentIn("UTC"));
        QCOMPARE(ofArchive.status, 0);
        QCOMPARE(ofArchive.err, ofFile.err);
        QString expected = ofFile.out;
        expected.replace(exported_, QStringLiteral("archive:1"));
        QCOMPARE(ofArchive.out, expected);
    }

    // One line on standard error, status 1, nothing printed.
    void archiveFailures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("events, no such ID")
            << QStringList{"events", "archive:99", "--threshold", "70", "--archive", "ARCHIVE"}
            << "The archive ARCHIVE holds no measurement 99.";
        QTest::newRow("periods, no such ID")
            << QStringList{"periods", "archive:99", "--period", "1h", "--archive", "ARCHIVE"}
            << "The archive ARCHIVE holds no measurement 99.";
        QTest::newRow("dose, no archive")
            << QStringList{"dose", "archive:1", "--no-archive"}
            << "archive:1: no archive to read it from";
    }

    void archiveFailures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        arguments.replaceInStrings(QRegularExpression("^ARCHIVE$"), archive_);
        const CliRun run = runCli(arguments, environmentIn("UTC"));
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, QString());
        QCOMPARE(run.err, "audimark-cli: " + message.replace("ARCHIVE", archive_) + '\n');
    }

    void helpPages_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("mentions");
        QTest::newRow("periods") << "periods"
                                 << QStringList{"--period LENGTH", "nearest-rank", "incomplete"};
        QTest::newRow("events") << "events"
                                << QStringList{"--min-duration DURATION", "SEL", "archive:ID",
                                               "--no-archive"};
        QTest::newRow("dose") << "dose" << QStringList{"--exchange-rate dB", "LEX,8h", "90"};
        QTest::newRow("stats") << "stats" << QStringList{"--den-hours D,E,N", "Lden"};
    }

    void helpPages()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, mentions);
        const CliRun help = runCli({command, "--help"});
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.startsWith("Usage: audimark-cli " + command + ' '));
        for (const QString& mention : mentions)
            QVERIFY2(help.out.contains(mention), qPrintable(mention + " not in\n" + help.out));
        QVERIFY(runCli({"--help"}).out.contains("\n  " + command + ' '));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("periods without --period")
            << QStringList{"periods", "REC"} << "periods needs --period, such as 15m or 1h";
        QTest::newRow("a period that does not divide a day")
            << QStringList{"periods", "REC", "--period", "7m"}
            << "--period needs a length that divides a day, such as 5m, 15m or 1h";
        QTest::newRow("periods: hysteresis without threshold")
            << QStringList{"periods", "REC", "--period", "1h", "--hysteresis", "3"}
            << "--min-duration and --hysteresis go with --threshold";
        QTest::newRow("events without --threshold")
            << QStringList{"events", "REC"} << "events needs --threshold dB";
        QTest::newRow("events: a minimum duration that does not read")
            << QStringList{"events", "REC", "--threshold", "70", "--min-duration", "long"}
            << "--min-duration needs a duration such as 10s";
        QTest::newRow("dose: exchange rate 4") << QStringList{"dose", "REC", "--exchange-rate", "4"}
                                               << "--exchange-rate must be 3 or 5";
        QTest::newRow("events: archive and no archive")
            << QStringList{"events", "REC", "--threshold", "70", "--archive", "a.sqlite",
                           "--no-archive"}
            << "--archive and --no-archive exclude each other";
        QTest::newRow("dose: no csv")
            << QStringList{"dose", "REC", "--format", "csv"} << "--format must be text or json";
        QTest::newRow("stats: evening before day")
            << QStringList{"stats", "REC", "--den-hours", "19:00,07:00,23:00"}
            << "--den-hours needs the starts of day, evening and night, such as "
               "07:00,19:00,23:00, in that order round the clock";
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        arguments.replaceInStrings(QRegularExpression("^REC$"), rec_);
        const CliRun run = runCli(arguments);
        QCOMPARE(run.status, 2);
        QCOMPARE(run.out, QString());
        QCOMPARE(run.err, "audimark-cli: " + message + "\nTry 'audimark-cli " + arguments.first() +
                              " --help'.\n");
    }
};

AUDIMARK_TEST_MAIN_CORE(TestCliFigures)
#include "tst_clifigures.moc"
