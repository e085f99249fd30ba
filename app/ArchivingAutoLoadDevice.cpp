#include "app/ArchivingAutoLoadDevice.h"

#include "app/ArchiveSession.h"
#include "archive/Archive.h"
#include "data/LoggerMemory.h"
#include "meter/MeterClock.h"

ArchivingAutoLoadDevice::ArchivingAutoLoadDevice(AutoLoadDevice& device, ArchiveSession& session,
                                                 MeterClock& clock,
                                                 std::function<LoggerSetsStore::Meter()> meter)
    : device_(device), session_(session), clock_(clock), meter_(std::move(meter))
{
}

LoadResult ArchivingAutoLoadDevice::downloadMemory(LoggerMemory& memory)
{
    const LoadResult result = device_.downloadMemory(memory);
    Archive* archive = session_.archive();
    if (result != LoadResult::Ok || !archive || memory.memoryImage().isEmpty())
        return result;
    lastStore_ = LoggerSetsStore::storeImage(
        *archive, memory.memoryImage(), memory.memoryEnd(), clock_.currentDateTime(),
        MeasurementKind::AutoLoad, meter_ ? meter_() : LoggerSetsStore::Meter());
    if (lastStore_->ok)
        session_.reportWriteSuccess();
    else
        session_.reportWriteFailure(lastStore_->error);
    return result;
}
