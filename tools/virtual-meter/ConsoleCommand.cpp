#include "tools/virtual-meter/ConsoleCommand.h"

#include <QList>

namespace vmeter {

ConsoleCommand ConsoleCommand::parse(const QByteArray& line)
{
    const QList<QByteArray> words = line.simplified().split(' ');
    const QByteArray& verb = words.first();
    if (verb.isEmpty())
        return {};
    if (words.size() == 1 && verb == "off")
        return {Type::Off};
    if (words.size() == 1 && verb == "on")
        return {Type::On};
    if (words.size() == 1 && verb == "deaf")
        return {Type::Deaf};
    if (words.size() == 1 && verb == "hear")
        return {Type::Hear};
    if (words.size() == 1 && verb == "quit")
        return {Type::Quit};
    if (words.size() == 2 && verb == "level") {
        bool ok = false;
        const double db = words.at(1).toDouble(&ok);
        if (ok && db >= 0.0 && db <= 140.0)
            return {Type::Level, db};
    }
    if (words.size() == 2 && verb == "unplug") {
        bool ok = false;
        const double seconds = words.at(1).toDouble(&ok);
        if (ok && seconds >= 0.0 && seconds <= 3600.0)
            return {Type::Unplug, 0.0, seconds};
    }
    return {Type::Invalid};
}

} // namespace vmeter
