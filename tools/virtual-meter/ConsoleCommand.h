#pragma once

// One line of the virtual meter's command input: "off", "on",
// "level <dB>" (a decimal with a full stop) or "quit". Blank lines are Empty.

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
        Quit,
        Invalid
    };
    Type type = Type::Empty;
    double levelDb = 0.0;

    [[nodiscard]] static ConsoleCommand parse(const QByteArray& line);
};

} // namespace vmeter
