#include "logger/LoggerRepair.h"

#include "logger/LoggerPort.h"
#include "logger/LoggerTexts.h"
#include "logger/LoggerUi.h"

#include <utility>

namespace {
constexpr char WriteLetter = 'w';
}

int repairMemory(LoggerPort& port, LoggerUi& ui, const DecodeErrorPosition& position)
{
    const quint32 index = quint32(position.badSetIndex);
    const quint32 offset = quint32(position.badOffset);
    const std::pair<quint32, quint8> writes[] = {
        {0x09, quint8(index >> 8)},  {0x0A, quint8(index)},  {0x0B, quint8(offset >> 16)},
        {0x0C, quint8(offset >> 8)}, {0x0D, quint8(offset)},
    };
    int echoed = 0;
    for (const auto& [address, data] : writes) {
        port.setMemoryCommand(WriteLetter, address, data);
        if (port.sendChecked())
            ++echoed;
        else
            ui.showMessage(LoggerTexts::FixingFailed);
    }
    ui.showMessage(LoggerTexts::PowerCycle);
    return echoed;
}
