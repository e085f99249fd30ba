#include "logger/LoggerLoad.h"

#include "data/DataSetCollection.h"
#include "data/LoggerMemory.h"
#include "logger/DataSetListRow.h"
#include "logger/ImageFile.h"
#include "logger/LoggerPort.h"
#include "logger/LoggerRepair.h"
#include "logger/LoggerTexts.h"
#include "logger/LoggerUi.h"
#include "logger/RecordDecoder.h"
#include "meter/MeterLink.h"

namespace {
// Gives the device back to the live port however the command ends.
class DeviceReturn
{
public:
    explicit DeviceReturn(LoggerPort& port) : port_(port) {}
    ~DeviceReturn() { port_.giveBack(); }
    DeviceReturn(const DeviceReturn&) = delete;
    DeviceReturn& operator=(const DeviceReturn&) = delete;

private:
    LoggerPort& port_;
};

// Empties the image when a load ends, whatever the result.
class ImageRelease
{
public:
    explicit ImageRelease(LoggerMemory& memory) : memory_(memory) {}
    ~ImageRelease() { memory_.clearImage(); }
    ImageRelease(const ImageRelease&) = delete;
    ImageRelease& operator=(const ImageRelease&) = delete;

private:
    LoggerMemory& memory_;
};
} // namespace

LoggerLoad::LoggerLoad(LoggerPort& port, LoggerMemory& memory, DataSetCollection& collection,
                       LoggerUi& ui)
    : port_(port), memory_(memory), collection_(collection), ui_(ui), download_(port, ui)
{
}

LoadResult LoggerLoad::loadLoggerData()
{
    memory_.clearImage();
    ImageRelease release(memory_);
    LoadResult result = download_.downloadMemory(memory_);
    if (result != LoadResult::Ok)
        return result;
    downloadedImage_ = memory_.memoryImage();
    result = decodeImage(memory_, collection_, port_.clock().currentDateTime());
    if (result != LoadResult::Ok)
        return result;
    ui_.showDataSetRows(dataSetListRows(collection_, locale_));
    if (!dataDirectory_.isEmpty() && ImageFile::writeTemp(dataDirectory_, memory_.memoryImage()) ==
                                         ImageFile::Outcome::DirectoryMissing)
        throw LoadAborted(ImageFile::tempDirectory(dataDirectory_));
    ui_.showDataSet(0);
    return LoadResult::Ok;
}

LoadCommandOutcome LoggerLoad::loadDataCommand()
{
    LoadCommandOutcome outcome;
    MeterLink& link = port_.link();
    if (!link.MeterConnected()) {
        ui_.showMessage(LoggerTexts::NoConnection);
        return outcome;
    }
    if (link.MeterRecording()) {
        ui_.showMessage(LoggerTexts::MeterRecording);
        return outcome;
    }
    outcome.started = true;
    if (ui_.prepareLoggerWindow())
        port_.clock().Delay(300);

    DeviceReturn giveBack(port_);
    downloadedImage_.clear();
    try {
        bool again = true;
        while (again) {
            again = false;
            outcome.result = loadLoggerData();
            if (++outcome.loads == 1)
                outcome.firstResult = outcome.result;
            handleResult(outcome.result, outcome, again);
        }
    } catch (const LoadAborted& error) {
        outcome.aborted = true;
        ui_.showError(error.text());
    }
    outcome.image = downloadedImage_;
    return outcome;
}

void LoggerLoad::handleResult(LoadResult result, LoadCommandOutcome& outcome, bool& again)
{
    LoggerUi::Answer answer = LoggerUi::Answer::Cancel;
    switch (result) {
    case LoadResult::Ok:
        outcome.dataLoaded = true;
        return;
    case LoadResult::MemoryError:
        ui_.showMessage(LoggerTexts::MemoryError);
        return;
    case LoadResult::NoData:
        port_.clock().Delay(200);
        ui_.showMessage(LoggerTexts::NoData);
        return;
    case LoadResult::DataError:
        answer = ui_.ask(LoggerTexts::DataErrorQuestion, LoggerUi::Buttons::RetryOkCancel);
        break;
    case LoadResult::Incomplete:
    case LoadResult::BadSize:
    case LoadResult::NoHandshake:
        answer = ui_.ask(LoggerTexts::ReadError, LoggerUi::Buttons::RetryCancel);
        // OK is not offered with these buttons.
        if (answer == LoggerUi::Answer::Ok)
            answer = LoggerUi::Answer::Cancel;
        break;
    }
    if (answer == LoggerUi::Answer::Ok) {
        (void)repairMemory(port_, ui_, memory_.errorPosition());
        outcome.repaired = true;
    } else if (answer == LoggerUi::Answer::Retry) {
        port_.closeLoggerPort();
        port_.clock().Delay(100);
        port_.openLivePort();
        again = true;
    }
}
