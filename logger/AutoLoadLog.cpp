#include "logger/AutoLoadLog.h"

#include "logger/DateTimeValue.h"
#include "logger/OutputFile.h"
#include "logger/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace AutoLoadLog {

QString resultText(AutoLoadOutcome::Result result)
{
    switch (result) {
    case AutoLoadOutcome::Result::Emptied:
        return QStringLiteral("emptied");
    case AutoLoadOutcome::Result::NothingErased:
        return QStringLiteral("nothing erased");
    case AutoLoadOutcome::Result::EraseUnconfirmed:
        return QStringLiteral("erase not confirmed");
    case AutoLoadOutcome::Result::Skipped:
        return QStringLiteral("skipped");
    }
    return {};
}

QString line(const AutoLoadOutcome& outcome, const QLocale& locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    const QString when = locale.toString(outcome.started.date(),
                                         DateTimeValue::fourDigitYearShortDateFormat(locale)) +
                         QLatin1Char(' ') +
                         outcome.started.time().toString(QStringLiteral("HH:mm:ss"));
    QString erased = QStringLiteral("no");
    if (outcome.result == AutoLoadOutcome::Result::Emptied)
        erased = QStringLiteral("yes");
    else if (outcome.result == AutoLoadOutcome::Result::EraseUnconfirmed)
        erased = QStringLiteral("unconfirmed");

    QString text = QStringLiteral("%1; %2; %3 sets, %4 samples; files %5; erased %6")
                       .arg(when, resultText(outcome.result), plain.toString(outcome.sets),
                            plain.toString(outcome.samples),
                            outcome.files.isEmpty() ? QStringLiteral("none")
                                                    : outcome.files.join(QStringLiteral(", ")),
                            erased);
    if (!outcome.reason.isEmpty())
        text += QStringLiteral("; reason: ") + outcome.reason;
    return text;
}

QString append(const QString& dataDirectory, const AutoLoadOutcome& outcome, const QLocale& locale)
{
    const QString path = QDir(dataDirectory).filePath(FileName);
    QByteArray text;
    if (QFileInfo(path).exists() || QFileInfo(path).isSymLink()) {
        // Only a regular file of a log's size is read back and replaced.
        QFile earlier;
        QString reason;
        if (!RegularFile::openForReading(earlier, path, &reason))
            return reason;
        if (earlier.size() > MaxBytes)
            return QStringLiteral("it is larger than %1 MB; move it away to start a new log")
                .arg(MaxBytes >> 20);
        text = RegularFile::readAtMost(earlier, MaxBytes);
        if (earlier.error() != QFileDevice::NoError)
            return earlier.errorString();
    }
    if (!text.isEmpty() && !text.endsWith('\n'))
        text += "\r\n";
    text += line(outcome, locale).toUtf8() + "\r\n";
    return OutputFile::writeWhole(path, text);
}

} // namespace AutoLoadLog
