// The export written a day and an integer at a time gives the bytes of the
// export line made field by field through the locale: every kind of level
// (the meter's tenths, rounding ties, beyond the meter, negative, not a
// number), times that round into the next day or second, across midnight
// and the year, in locales with other date orders, separators and digits.

#include "common/TestMain.h"
#include "files/formats/ExportRange.h"
#include "files/formats/ExportText.h"
#include "files/formats/GraphExport.h"
#include "logger/DateTimeValue.h"

#include <QBuffer>

#include <cmath>
#include <limits>
#include <vector>

namespace {
double at(const QDate& date, const QTime& time)
{
    return DateTimeValue::fromDateTime(date, time);
}

QByteArray fieldByField(const std::vector<double>& x, const std::vector<float>& y, QChar separator,
                        const QLocale& locale)
{
    QByteArray bytes;
    for (size_t i = 0; i < x.size(); ++i)
        bytes += ExportText::graphExportLine(x[i], y[i], separator, locale).toUtf8() +
                 ExportText::LineEnd;
    return bytes;
}
} // namespace

class TestExportLineTexts : public QObject
{
    Q_OBJECT

private slots:
    void sameBytesAsFieldByField_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("separator");
        for (const char* name : {"en_US", "de_DE", "fr_FR", "C", "ja_JP", "ar_EG", "fa_IR", "hi_IN",
                                 "de_CH", "sv_SE", "bn_BD", "ru_RU", "zh_CN", "ko_KR"}) {
            QTest::addRow("%s txt", name) << QLocale(QString::fromLatin1(name)) << "\t";
            QTest::addRow("%s csv", name) << QLocale(QString::fromLatin1(name)) << ",";
        }
    }

    void sameBytesAsFieldByField()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, separator);
        std::vector<double> x;
        std::vector<float> y;
        const auto add = [&](double time, float level) {
            x.push_back(time);
            y.push_back(level);
        };
        // The meter's tenths, one point every 0.37 s across midnight and the year.
        const double start = at(QDate(2009, 12, 31), QTime(23, 59, 50));
        for (int i = 0; i < 400; ++i)
            add(start + i * 0.37 / 86400.0, float((300 + i * 7 % 1000) * 0.1));
        // Levels on a rounding tie, near one, beyond the meter, odd ones.
        const double t = at(QDate(2024, 2, 29), QTime(12, 0));
        for (const float level :
             {0.25f, 0.75f, 1.25f, 2.5f, 64.25f, 94.95f, 0.05f, 0.0f, -0.0f, -0.04f, -12.3f,
              999999.9f, 1.0e7f, 3.4e38f, std::numeric_limits<float>::infinity(),
              -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
              std::numeric_limits<float>::denorm_min(), 130.04999f, 29.999999f})
            add(t, level);
        // Times that round into the next second, day and year; before 1900.
        add(at(QDate(2010, 4, 14), QTime(23, 59, 59, 999)) + 0.0006 / 86400.0, 50.0f);
        add(at(QDate(2010, 12, 31), QTime(23, 59, 59, 999)) + 0.0004 / 86400.0, 50.0f);
        add(at(QDate(2010, 12, 31), QTime(23, 59, 59, 999)) + 0.0005 / 86400.0, 50.0f);
        add(at(QDate(2010, 4, 14), QTime(9, 5, 7, 5)), 50.0f);
        add(at(QDate(1899, 12, 29), QTime(6, 0)), 50.0f);
        add(at(QDate(1899, 12, 30), QTime(0, 0, 0, 1)), 50.0f);

        QBuffer buffer;
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        const FileWriteOutcome outcome =
            GraphExport::writeLines(buffer, x, y, ExportRange::all(int(x.size())),
                                    separator.at(0), locale);
        QCOMPARE(outcome.kind, FileWriteOutcome::Written);
        QCOMPARE(outcome.lines, int(x.size()));
        const QList<QByteArray> written = buffer.data().split('\n');
        const QList<QByteArray> expected = fieldByField(x, y, separator.at(0), locale).split('\n');
        QCOMPARE(written.size(), expected.size());
        for (qsizetype i = 0; i < written.size(); ++i)
            QCOMPARE(written.at(i), expected.at(i));
    }
};

AUDIMARK_TEST_MAIN_CORE(TestExportLineTexts)
#include "tst_exportlinetexts.moc"
