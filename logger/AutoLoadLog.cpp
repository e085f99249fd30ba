#include "logger/AutoLoadLog.h"

#include "logger/DateTimeValue.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

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
    {
        QFile earlier(path);
        if (earlier.exists()) {
            if (!earlier.open(QIODevice::ReadOnly))
                return earlier.errorString();
            text = earlier.readAll();
        }
    }
    if (!text.isEmpty() && !text.endsWith('\n'))
        text += "\r\n";
    text += line(outcome, locale).toUtf8() + "\r\n";

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(text) != text.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    return file.commit() ? QString() : file.errorString();
}

} // namespace AutoLoadLog
