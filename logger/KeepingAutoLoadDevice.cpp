#include "logger/KeepingAutoLoadDevice.h"

KeepingAutoLoadDevice::KeepingAutoLoadDevice(AutoLoadDevice& device,
                                                 std::function<void(const LoggerMemory&)> keeper)
    : device_(device), keeper_(std::move(keeper))
{
}

LoadResult KeepingAutoLoadDevice::downloadMemory(LoggerMemory& memory)
{
    const LoadResult result = device_.downloadMemory(memory);
    if (result == LoadResult::Ok && keeper_)
        keeper_(memory);
    return result;
}
