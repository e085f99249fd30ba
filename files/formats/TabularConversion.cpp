#include "files/formats/TabularConversion.h"

#include <QByteArray>
#include <QStringView>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace TabularConversion {

namespace detail {
// QDate(1899, 12, 30).toJulianDay()
constexpr qint64 kEpochJulianDay = 2415019;
constexpr double kMsPerDay = 86400000.0;

// The texts a reader reads: UTF-16 (any cell), or bytes that are all below
// 0x80 (the usual cell, read with no string made for it). Both are read by
// the same code below and give the same result for the same characters;
// only these few questions are answered differently.
struct Utf16Text
{
    QStringView text;

    [[nodiscard]] qsizetype size() const { return text.size(); }
    [[nodiscard]] QChar at(qsizetype i) const { return text[i]; }
    [[nodiscard]] int digit(qsizetype i) const { return text[i].digitValue(); }
    [[nodiscard]] bool blank(qsizetype i) const { return text[i].isSpace(); }
};

struct AsciiText
{
    QByteArrayView text;

    [[nodiscard]] qsizetype size() const { return text.size(); }
    [[nodiscard]] QChar at(qsizetype i) const { return QLatin1Char(text[i]); }
    // Of the characters below 0x80, only 0-9 are digits and only blank, TAB,
    // LF, VT, FF and CR are blanks.
    [[nodiscard]] int digit(qsizetype i) const
    {
        const auto d = static_cast<unsigned char>(text[i]) - unsigned('0');
        return d < 10 ? int(d) : -1;
    }
    [[nodiscard]] bool blank(qsizetype i) const
    {
        const char c = text[i];
        return c == ' ' || (c >= '\t' && c <= '\r');
    }
};

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// A name (of a month, a day, AM or PM) compared without regard to case:
// Qt folds both sides character by character. Against bytes below 0x80 the
// name matches where each byte, lower-cased, is the name's character folded;
// a name with a character that folds to none of those never matches them.
struct Name
{
    explicit Name(const QString& name)
        : text(name), first(name.isEmpty() ? QChar() : name.front().toCaseFolded())
    {
        for (const QChar c : name) {
            const QChar folded = c.toCaseFolded();
            if (folded.unicode() >= 0x80) {
                asciiFolded.reset();
                return;
            }
            asciiFolded->append(char(folded.unicode()));
        }
    }

    [[nodiscard]] bool startsAt(const Utf16Text& t, qsizetype pos) const
    {
        return t.text.sliced(pos).startsWith(text, Qt::CaseInsensitive);
    }
    [[nodiscard]] bool startsAt(const AsciiText& t, qsizetype pos) const
    {
        if (!asciiFolded || t.size() - pos < asciiFolded->size())
            return false;
        for (qsizetype i = 0; i < asciiFolded->size(); ++i) {
            char c = t.text[pos + i];
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
            if (c != asciiFolded->at(i))
                return false;
        }
        return true;
    }

    QString text;
    QChar first; // its first character, case-folded
    std::optional<QByteArray> asciiFolded = QByteArray();
};

// Reads "date time" texts written in one locale's short date format: the
// format is taken apart once, then each text is read field by field, which
// is many times faster than QLocale::toDate for a table of 100,000 rows.
// Levels are read with the locale's decimal separator, no group separators.
class DateTimeReader
{
public:
    DateTimeReader(const QLocale& locale, const QDate& today);

    [[nodiscard]] bool serves(const QLocale& locale, const QDate& today) const
    {
        return locale == locale_ && today == today_;
    }
    template <typename Text> [[nodiscard]] std::optional<double> read(const Text& text) const;
    // A date and a time cell's bytes joined with one blank and read.
    [[nodiscard]] std::optional<double> dateTime(QByteArrayView date, QByteArrayView time) const;
    // A level's text: QLocale's reading, with the common "65.3" read here.
    [[nodiscard]] std::optional<float> value(QByteArrayView bytes) const;
    // A level whose decimal separator, a comma, was taken for the CSV
    // separator: whole and fraction joined again and read as the locale
    // reads them (group separators allowed).
    [[nodiscard]] std::optional<float> joinedValue(QByteArrayView whole,
                                                   QByteArrayView fraction) const;

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
    template <typename Text>
    [[nodiscard]] bool readDate(const Text& text, qsizetype& pos, Date& date) const;
    template <typename Text>
    [[nodiscard]] std::optional<int> readTime(const Text& text, qsizetype& pos) const;
    [[nodiscard]] int fullYear(int year, int digits) const;
    // The longest of the names that the text continues with: its index, and
    // pos moved past it.
    template <typename Text>
    [[nodiscard]] static int matchName(const Text& text, qsizetype& pos,
                                       const std::vector<Name>& names);
    // "65.3": digits, then the decimal separator and digits; nothing for
    // any other text (QLocale then reads it).
    [[nodiscard]] std::optional<float> plainDecimal(QByteArrayView bytes) const;
    [[nodiscard]] qint64 julianDay(const Date& date) const;

    QLocale locale_;
    QLocale numbers_; // the locale without group separators
    QDate today_;
    std::vector<Token> tokens_;
    std::vector<Name> monthNames_; // index % 12 + 1 is the month
    std::vector<Name> dayNames_;
    std::optional<Name> am_;
    std::optional<Name> pm_;
    char decimalPoint_ = 0; // 0: not one byte below 0x80, or other digits than 0-9
    // The last date read and its day number: rows of one day in a row.
    mutable Date lastDate_;
    mutable qint64 lastJulianDay_ = 0;
};

template <typename Text> void skipBlanks(const Text& text, qsizetype& pos)
{
    while (pos < text.size() && text.blank(pos))
        ++pos;
}

// Up to maxDigits decimal digits (of any script); nothing without one.
template <typename Text>
std::optional<int> readNumber(const Text& text, qsizetype& pos, int maxDigits,
                              int* digits = nullptr)
{
    int value = 0;
    int count = 0;
    while (count < maxDigits && pos < text.size()) {
        const int digit = text.digit(pos);
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
            monthNames_.emplace_back(locale.monthName(m, type));
        for (int m = 1; m <= 12; ++m)
            monthNames_.emplace_back(locale.standaloneMonthName(m, type));
        for (int d = 1; d <= 7; ++d)
            dayNames_.emplace_back(locale.dayName(d, type));
    }
    if (!locale.amText().isEmpty())
        am_.emplace(locale.amText());
    if (!locale.pmText().isEmpty())
        pm_.emplace(locale.pmText());
    const QString point = locale.decimalPoint();
    if (point.size() == 1 && point.front().unicode() < 0x80 &&
        locale.zeroDigit() == QLatin1String("0"))
        decimalPoint_ = char(point.front().unicode());
}
void DateTimeReader::addLiteral(QChar c)
{
    if (c.isSpace()) {
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

template <typename Text>
int DateTimeReader::matchName(const Text& text, qsizetype& pos, const std::vector<Name>& names)
{
    if (pos >= text.size())
        return -1;
    int best = -1;
    qsizetype bestLength = 0;
    const QChar first = text.at(pos).toCaseFolded();
    for (size_t k = 0; k < names.size(); ++k) {
        const Name& name = names[k];
        if (name.text.size() > bestLength && name.first == first && name.startsAt(text, pos)) {
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

template <typename Text>
bool DateTimeReader::readDate(const Text& text, qsizetype& pos, Date& date) const
{
    for (const Token& token : tokens_) {
        switch (token.kind) {
        case Kind::Blank:
            skipBlanks(text, pos);
            break;
        case Kind::Literal:
            for (const QChar c : token.literal) {
                if (pos >= text.size() || text.at(pos) != c)
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

template <typename Text>
std::optional<int> DateTimeReader::readTime(const Text& text, qsizetype& pos) const
{
    const auto colon = [&] {
        if (pos < text.size() && text.at(pos) == QLatin1Char(':')) {
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
        if (pos < text.size() && text.at(pos) == QLatin1Char('.')) {
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
    const bool am = am_ && am_->startsAt(text, pos);
    const bool pm = pm_ && pm_->startsAt(text, pos);
    if (am || pm) {
        if (h < 1 || h > 12)
            return std::nullopt;
        h = h % 12 + (pm ? 12 : 0);
        pos += (am ? am_ : pm_)->text.size();
    }
    if (h > 23 || *minute > 59 || second > 59)
        return std::nullopt;
    return ((h * 60 + *minute) * 60 + second) * 1000 + ms;
}

qint64 DateTimeReader::julianDay(const Date& date) const
{
    if (date.year != lastDate_.year || date.month != lastDate_.month || date.day != lastDate_.day) {
        lastDate_ = date;
        lastJulianDay_ = QDate(date.year, date.month, date.day).toJulianDay();
    }
    return lastJulianDay_;
}

template <typename Text> std::optional<double> DateTimeReader::read(const Text& text) const
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
    const qint64 days = julianDay(date) - kEpochJulianDay;
    return double(days) + double(msOfDay) / kMsPerDay;
}

std::optional<double> DateTimeReader::dateTime(QByteArrayView date, QByteArrayView time) const
{
    // The usual cells, a few bytes below 0x80, are joined on the stack.
    std::array<char, 128> joined;
    const qsizetype size = date.size() + 1 + time.size();
    if (size <= qsizetype(joined.size()) && isAscii(date) && isAscii(time)) {
        std::copy(date.begin(), date.end(), joined.begin());
        joined[size_t(date.size())] = ' ';
        std::copy(time.begin(), time.end(), joined.begin() + date.size() + 1);
        return read(AsciiText{QByteArrayView(joined.data(), size)});
    }
    const QString text = QString::fromUtf8(date) + QLatin1Char(' ') + QString::fromUtf8(time);
    return read(Utf16Text{text});
}

std::optional<float> DateTimeReader::plainDecimal(QByteArrayView bytes) const
{
    // Up to 15 digits with up to 15 after the separator: the whole digits
    // and the power of ten are exact doubles, so their quotient is the
    // nearest double to the text, as QLocale finds it, and the level that
    // double as a float, as QLocale gives it.
    static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    constexpr int kMaxDigits = 15;
    if (decimalPoint_ == 0)
        return std::nullopt;
    qsizetype pos = 0;
    qsizetype end = bytes.size();
    const AsciiText text{bytes};
    while (pos < end && text.blank(pos))
        ++pos;
    while (end > pos && text.blank(end - 1))
        --end;
    qint64 digits = 0;
    int count = 0;
    const qsizetype wholeBegin = pos;
    while (pos < end && text.digit(pos) >= 0 && count <= kMaxDigits) {
        digits = digits * 10 + text.digit(pos++);
        ++count;
    }
    const qsizetype wholeLength = pos - wholeBegin;
    // A leading zero before other digits is left to QLocale.
    if (wholeLength == 0 || (wholeLength > 1 && bytes[wholeBegin] == '0'))
        return std::nullopt;
    int fractionDigits = 0;
    if (pos < end && bytes[pos] == decimalPoint_) {
        ++pos;
        while (pos < end && text.digit(pos) >= 0 && count <= kMaxDigits) {
            digits = digits * 10 + text.digit(pos++);
            ++count;
            ++fractionDigits;
        }
        if (fractionDigits == 0)
            return std::nullopt;
    }
    if (pos != end || count > kMaxDigits)
        return std::nullopt;
    return float(double(digits) / kPowersOfTen[fractionDigits]);
}

std::optional<float> DateTimeReader::value(QByteArrayView bytes) const
{
    if (isAscii(bytes)) {
        if (const std::optional<float> plain = plainDecimal(bytes))
            return plain;
    }
    bool ok = false;
    const float v = numbers_.toFloat(QString::fromUtf8(bytes).trimmed(), &ok);
    // "nan" and "inf" read, but are no level.
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<float> DateTimeReader::joinedValue(QByteArrayView whole,
                                                 QByteArrayView fraction) const
{
    QByteArray text;
    text.reserve(whole.size() + fraction.size() + 4);
    text.append(whole.data(), whole.size());
    text.append(locale_.decimalPoint().toUtf8());
    text.append(fraction.data(), fraction.size());
    if (isAscii(text)) {
        if (const std::optional<float> plain = plainDecimal(text))
            return plain;
    }
    bool ok = false;
    const float value = locale_.toFloat(QString::fromUtf8(text), &ok);
    return ok && std::isfinite(value) ? std::optional<float>(value) : std::nullopt;
}

} // namespace detail

namespace {
using detail::AsciiText;
using detail::DateTimeReader;
using detail::Utf16Text;

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
    return readerFor(locale, today).read(Utf16Text{joined(date, time)});
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
    const std::optional<double> x =
        reader.dateTime(table.cellBytes(gridRow, 1), table.cellBytes(gridRow, 2));
    if (!x)
        return std::nullopt;
    return Point{*x, reader.value(table.cellBytes(gridRow, 3))};
}

RowReader::RowReader(const QLocale& locale, const QDate& today)
    : reader_(std::make_unique<DateTimeReader>(locale, today))
{
}

RowReader::~RowReader() = default;

std::optional<double> RowReader::dateTime(QByteArrayView date, QByteArrayView time) const
{
    return reader_->dateTime(date, time);
}

std::optional<float> RowReader::level(QByteArrayView value) const
{
    return reader_->value(value);
}

std::optional<float> RowReader::joinedLevel(QByteArrayView whole, QByteArrayView fraction) const
{
    if (fraction.isEmpty())
        return std::nullopt;
    return reader_->joinedValue(whole, fraction);
}

} // namespace TabularConversion
