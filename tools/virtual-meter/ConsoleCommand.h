#pragma once

// One line of the virtual meter's command input: "off", "on",
// "level <dB>" (a decimal with a full stop), "unplug <seconds>" (the device
// goes away and comes back that much later, 0 to 3600), "deaf" (stops
// reading the line and streams without "X"), "hear" or "quit". Blank lines
// are Empty.

#include <QByteArray>

namespace vmeter {

struct ConsoleCommand
{
    enum class Type
    {
        Empty,
        Off,
        On,
        Level,
        Unplug,
        Deaf,
        Hear,
        Quit,
        Invalid
    };
    Type type = Type::Empty;
    double levelDb = 0.0;
    double seconds = 0.0;

    [[nodiscard]] static ConsoleCommand parse(const QByteArray& line);
};

} // namespace vmeter
