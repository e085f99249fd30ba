#include "tools/virtual-meter/TrafficLog.h"

namespace vmeter {

bool TrafficLog::openFile(const QString& path)
{
    file_.setFileName(path);
    return file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
}

void TrafficLog::record(const ParsedBytes& item, SteadyTime at)
{
    const TrafficRecord record{std::chrono::duration<double>(at - start_).count(), item.kind,
                               item.bytes};
    std::lock_guard lock(mutex_);
    records_.append(record);
    if (file_.isOpen()) {
        file_.write(formatLine(record).toLatin1() + '\n');
        file_.flush();
    }
}

QList<TrafficRecord> TrafficLog::records() const
{
    std::lock_guard lock(mutex_);
    return records_;
}

QString TrafficLog::formatLine(const TrafficRecord& record)
{
    const QString time = QString::number(record.seconds, 'f', 3);
    const QString hex = QString::fromLatin1(record.bytes.toHex(' ').toUpper());
    if (record.kind == ParsedBytes::Kind::Stray)
        return time + QLatin1String(" STRAY ") + hex;
    const char letter = record.bytes.size() > 1 ? record.bytes.at(1) : '?';
    const bool printable = letter > 0x20 && letter < 0x7F;
    return time + QLatin1String(" RX ") + hex + QLatin1Char(' ') +
           QLatin1Char(printable ? letter : '?');
}

} // namespace vmeter
