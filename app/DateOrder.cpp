#include "app/DateOrder.h"

#include <algorithm>
#include <array>

namespace {
int orderOfFields(const QString& firstField, const QString& secondField)
{
    if (firstField.contains(QLatin1Char('d')))
        return DateOrder::DayFirst;
    if (firstField.contains(QLatin1Char('m')))
        return DateOrder::MonthFirst;
    if (firstField.contains(QLatin1Char('y')))
        return secondField.contains(QLatin1Char('m')) ? DateOrder::YearMonthDay
                                                      : DateOrder::YearDayMonth;
    return DateOrder::MonthFirst;
}

// Without a separator the fields cannot be cut apart; the letters still say
// in which order they come ("yyyyMMdd" is year-month-day, not month first).
int orderOfLetters(const QString& format)
{
    const auto position = [&format](char letter) {
        const qsizetype at = format.indexOf(QLatin1Char(letter));
        return at < 0 ? format.size() : at;
    };
    const qsizetype d = position('d');
    const qsizetype m = position('m');
    const qsizetype y = position('y');
    if (d == format.size() && m == format.size() && y == format.size())
        return DateOrder::MonthFirst;
    if (d < m && d < y)
        return DateOrder::DayFirst;
    if (m < d && m < y)
        return DateOrder::MonthFirst;
    return m < d ? DateOrder::YearMonthDay : DateOrder::YearDayMonth;
}
} // namespace

int DateOrder::fromShortDateFormat(const QString& format)
{
    const QString lower = format.toLower();
    static constexpr std::array<char, 4> separators{'/', '-', '.', ','};
    const auto found = std::find_if(separators.begin(), separators.end(),
                                    [&lower](char c) { return lower.contains(QLatin1Char(c)); });
    if (found == separators.end())
        return orderOfLetters(lower);

    const QChar separator = QLatin1Char(*found);
    const qsizetype firstEnd = lower.indexOf(separator);
    const QString firstField = lower.left(firstEnd + 1);
    const QString rest = lower.mid(firstEnd + 1);
    const qsizetype secondEnd = rest.indexOf(separator);
    const QString secondField = secondEnd < 0 ? QString() : rest.left(secondEnd + 1);
    return orderOfFields(firstField, secondField);
}
