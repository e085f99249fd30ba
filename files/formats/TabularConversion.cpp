#include "files/formats/TabularConversion.h"

#include <QStringView>

#include <array>
#include <vector>

namespace TabularConversion {

namespace {
// QDate(1899, 12, 30).toJulianDay()
constexpr qint64 kEpochJulianDay = 2415019;
constexpr double kMsPerDay = 86400000.0;

// Reads "date time" texts written in one locale's short date format: the
// format is taken apart once, then each text is read field by field, which
// is many times faster than QLocale::toDate for a table of 100,000 rows.
class DateTimeReader
{
public:
    DateTimeReader(const QLocale& locale, const QDate& today);

    [[nodiscard]] bool serves(const QLocale& locale, const QDate& today) const
    {
        return locale == locale_ && today == today_;
    }
    [[nodiscard]] std::optional<double> read(QStringView text) const;
    [[nodiscard]] std::optional<float> value(QStringView text) const;

private:
    enum class Kind
    {
        Day,
        DayName,
        Month,
        MonthName,
        Year,
        Literal,
        Blank
    };
    struct Token
    {
        Kind kind;
        QString literal;
    };
    struct Date
    {
        int year = -1;
        int month = -1;
        int day = -1;
    };

    void tokenize(const QString& format);
    void addLiteral(QChar c);
    [[nodiscard]] bool readDate(QStringView text, qsizetype& pos, Date& date) const;
    [[nodiscard]] std::optional<int> readTime(QStringView text, qsizetype& pos) const;
    [[nodiscard]] int fullYear(int year, int digits) const;
    // The longest of the names that the text continues with: its index, and
    // pos moved past it.
    struct Name
    {
        QString text;
        QChar first; // its first character, case-folded
    };
    [[nodiscard]] static int matchName(QStringView text, qsizetype& pos,
                                       const std::vector<Name>& names);
    static void addName(std::vector<Name>& names, const QString& text);

    QLocale locale_;
    QLocale numbers_; // the locale without group separators
    QDate today_;
    std::vector<Token> tokens_;
    std::vector<Name> monthNames_; // index % 12 + 1 is the month
    std::vector<Name> dayNames_;
    QString amText_;
    QString pmText_;
};

bool isBlank(QChar c)
{
    return c.isSpace();
}

void skipBlanks(QStringView text, qsizetype& pos)
{
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
}

// Up to maxDigits decimal digits (of any script); nothing without one.
std::optional<int> readNumber(QStringView text, qsizetype& pos, int maxDigits,
                              int* digits = nullptr)
{
    int value = 0;
    int count = 0;
    while (count < maxDigits && pos < text.size()) {
        const int digit = text[pos].digitValue();
        if (digit < 0)
            break;
        value = value * 10 + digit;
        ++count;
        ++pos;
    }
    if (digits)
        *digits = count;
    if (count == 0)
        return std::nullopt;
    return value;
}

DateTimeReader::DateTimeReader(const QLocale& locale, const QDate& today)
    : locale_(locale), numbers_(locale), today_(today)
{
    numbers_.setNumberOptions(numbers_.numberOptions() | QLocale::RejectGroupSeparator);
    tokenize(locale.dateFormat(QLocale::ShortFormat));
    for (const QLocale::FormatType type : {QLocale::LongFormat, QLocale::ShortFormat}) {
        for (int m = 1; m <= 12; ++m)
            addName(monthNames_, locale.monthName(m, type));
        for (int m = 1; m <= 12; ++m)
            addName(monthNames_, locale.standaloneMonthName(m, type));
        for (int d = 1; d <= 7; ++d)
            addName(dayNames_, locale.dayName(d, type));
    }
    amText_ = locale.amText();
    pmText_ = locale.pmText();
}

void DateTimeReader::addLiteral(QChar c)
{
    if (isBlank(c)) {
        if (tokens_.empty() || tokens_.back().kind != Kind::Blank)
            tokens_.push_back({Kind::Blank, {}});
        return;
    }
    if (tokens_.empty() || tokens_.back().kind != Kind::Literal)
        tokens_.push_back({Kind::Literal, {}});
    tokens_.back().literal += c;
}

void DateTimeReader::tokenize(const QString& format)
{
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) {
            // Quoted text; '' is a quote itself, inside quotes or outside.
            if (i + 1 < format.size() && format[i + 1] == QLatin1Char('\'')) {
                addLiteral(c);
                i += 2;
                continue;
            }
            ++i;
            while (i < format.size()) {
                if (format[i] == QLatin1Char('\'')) {
                    if (i + 1 < format.size() && format[i + 1] == QLatin1Char('\'')) {
                        addLiteral(format[i]);
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                addLiteral(format[i++]);
            }
            continue;
        }
        if (c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y')) {
            qsizetype run = 1;
            while (i + run < format.size() && format[i + run] == c)
                ++run;
            i += run;
            if (c == QLatin1Char('d'))
                tokens_.push_back({run <= 2 ? Kind::Day : Kind::DayName, {}});
            else if (c == QLatin1Char('M'))
                tokens_.push_back({run <= 2 ? Kind::Month : Kind::MonthName, {}});
            else
                tokens_.push_back({Kind::Year, {}});
            continue;
        }
        addLiteral(c);
        ++i;
    }
}

void DateTimeReader::addName(std::vector<Name>& names, const QString& text)
{
    names.push_back({text, text.isEmpty() ? QChar() : text.front().toCaseFolded()});
}

int DateTimeReader::matchName(QStringView text, qsizetype& pos, const std::vector<Name>& names)
{
    int best = -1;
    qsizetype bestLength = 0;
    const QStringView rest = text.mid(pos);
    if (rest.isEmpty())
        return -1;
    const QChar first = rest.front().toCaseFolded();
    for (size_t k = 0; k < names.size(); ++k) {
        const Name& name = names[k];
        if (name.text.size() > bestLength && name.first == first &&
            rest.startsWith(name.text, Qt::CaseInsensitive)) {
            best = int(k);
            bestLength = name.text.size();
        }
    }
    if (best >= 0)
        pos += bestLength;
    return best;
}

int DateTimeReader::fullYear(int year, int digits) const
{
    if (digits > 2)
        return year;
    // A two-digit year lies in the 100 years centred on today.
    const int lowest = today_.year() - 50;
    int full = lowest - ((lowest % 100) + 100) % 100 + year;
    if (full < lowest)
        full += 100;
    return full;
}

bool DateTimeReader::readDate(QStringView text, qsizetype& pos, Date& date) const
{
    for (const Token& token : tokens_) {
        switch (token.kind) {
        case Kind::Blank:
            skipBlanks(text, pos);
            break;
        case Kind::Literal:
            for (const QChar c : token.literal) {
                if (pos >= text.size() || text[pos] != c)
                    return false;
                ++pos;
            }
            break;
        case Kind::Day:
        case Kind::Month: {
            const std::optional<int> number = readNumber(text, pos, 2);
            if (!number)
                return false;
            (token.kind == Kind::Day ? date.day : date.month) = *number;
            break;
        }
        case Kind::Year: {
            int digits = 0;
            const std::optional<int> number = readNumber(text, pos, 4, &digits);
            if (!number)
                return false;
            date.year = fullYear(*number, digits);
            break;
        }
        case Kind::MonthName: {
            const int name = matchName(text, pos, monthNames_);
            if (name < 0)
                return false;
            date.month = name % 12 + 1;
            break;
        }
        case Kind::DayName:
            if (matchName(text, pos, dayNames_) < 0)
                return false;
            break;
        }
    }
    return QDate::isValid(date.year, date.month, date.day);
}

std::optional<int> DateTimeReader::readTime(QStringView text, qsizetype& pos) const
{
    const auto colon = [&] {
        if (pos < text.size() && text[pos] == QLatin1Char(':')) {
            ++pos;
            return true;
        }
        return false;
    };
    const std::optional<int> hour = readNumber(text, pos, 2);
    if (!hour || !colon())
        return std::nullopt;
    const std::optional<int> minute = readNumber(text, pos, 2);
    if (!minute)
        return std::nullopt;
    int second = 0;
    int ms = 0;
    if (colon()) {
        const std::optional<int> s = readNumber(text, pos, 2);
        if (!s)
            return std::nullopt;
        second = *s;
        if (pos < text.size() && text[pos] == QLatin1Char('.')) {
            ++pos;
            // The digits after the point count whole milliseconds ("5" is 5 ms).
            const std::optional<int> m = readNumber(text, pos, 3);
            if (!m)
                return std::nullopt;
            ms = *m;
        }
    }
    int h = *hour;
    skipBlanks(text, pos);
    const QStringView rest = text.mid(pos);
    const bool am = !amText_.isEmpty() && rest.startsWith(amText_, Qt::CaseInsensitive);
    const bool pm = !pmText_.isEmpty() && rest.startsWith(pmText_, Qt::CaseInsensitive);
    if (am || pm) {
        if (h < 1 || h > 12)
            return std::nullopt;
        h = h % 12 + (pm ? 12 : 0);
        pos += (am ? amText_ : pmText_).size();
    }
    if (h > 23 || *minute > 59 || second > 59)
        return std::nullopt;
    return ((h * 60 + *minute) * 60 + second) * 1000 + ms;
}

std::optional<double> DateTimeReader::read(QStringView text) const
{
    qsizetype pos = 0;
    skipBlanks(text, pos);
    Date date;
    if (!readDate(text, pos, date))
        return std::nullopt;
    skipBlanks(text, pos);
    int msOfDay = 0;
    if (pos < text.size()) {
        const std::optional<int> time = readTime(text, pos);
        if (!time)
            return std::nullopt;
        msOfDay = *time;
        skipBlanks(text, pos);
        if (pos < text.size())
            return std::nullopt;
    }
    const qint64 days = QDate(date.year, date.month, date.day).toJulianDay() - kEpochJulianDay;
    return double(days) + double(msOfDay) / kMsPerDay;
}

std::optional<float> DateTimeReader::value(QStringView text) const
{
    bool ok = false;
    const float v = numbers_.toFloat(text.trimmed(), &ok);
    if (!ok)
        return std::nullopt;
    return v;
}

// Appends a cell's UTF-8 bytes to text; a cell of plain ASCII (the usual
// one) is widened in place, with no string made for it.
void appendCell(QString& text, QByteArrayView bytes)
{
    bool ascii = true;
    for (qsizetype i = 0; i < bytes.size() && ascii; ++i)
        ascii = static_cast<unsigned char>(bytes[i]) < 0x80;
    if (ascii)
        text.append(QLatin1String(bytes.data(), bytes.size()));
    else
        text.append(QString::fromUtf8(bytes));
}

// One reader per thread, rebuilt when the locale or the day changes.
const DateTimeReader& readerFor(const QLocale& locale, const QDate& today)
{
    thread_local std::optional<DateTimeReader> reader;
    if (!reader || !reader->serves(locale, today))
        reader.emplace(locale, today);
    return *reader;
}

QString joined(const QString& date, const QString& time)
{
    return date + QLatin1Char(' ') + time;
}
} // namespace

std::optional<double> dateTime(const QString& date, const QString& time, const QLocale& locale,
                               const QDate& today)
{
    return readerFor(locale, today).read(joined(date, time));
}

QString rowsWithoutLevelNote(qsizetype rows)
{
    return rows == 1 ? QStringLiteral("1 row without a level skipped")
                     : QStringLiteral("%1 rows without a level skipped").arg(rows);
}

QString dateTimeError(const QString& date, const QString& time)
{
    return QStringLiteral("'%1' is not a valid date and time").arg(joined(date, time));
}

Ends ends(const TabularTable& table, const QLocale& locale, const QDate& today)
{
    Ends result;
    if (table.cell(1, 1).isEmpty()) {
        result.noData = true;
        result.error = NoDataMessage;
        return result;
    }
    result.count = table.dataRowCount();
    const auto rowDateTime = [&](int row) {
        const QString date = table.cell(row, 1);
        const QString time = table.cell(row, 2);
        const std::optional<double> value = dateTime(date, time, locale, today);
        if (!value && result.error.isEmpty())
            result.error = dateTimeError(date, time);
        return value.value_or(0.0);
    };
    result.first = rowDateTime(1);
    if (result.error.isEmpty())
        result.last = rowDateTime(result.count);
    return result;
}

std::optional<Point> point(const TabularTable& table, int gridRow, const QLocale& locale,
                           const QDate& today)
{
    const DateTimeReader& reader = readerFor(locale, today);
    // One buffer per thread keeps its room from row to row.
    thread_local QString text;
    text.resize(0);
    appendCell(text, table.cellBytes(gridRow, 1));
    text.append(QLatin1Char(' '));
    appendCell(text, table.cellBytes(gridRow, 2));
    const std::optional<double> x = reader.read(text);
    if (!x)
        return std::nullopt;
    text.resize(0);
    appendCell(text, table.cellBytes(gridRow, 3));
    return Point{*x, reader.value(text)};
}

} // namespace TabularConversion
