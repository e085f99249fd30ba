#include "tools/cli/ConsoleLoggerUi.h"

#include "data/LoggerMemory.h"
#include "logger/LoggerTexts.h"
#include "logger/MemoryDownload.h"
#include "tools/cli/LoadFailureNotes.h"

#include <QFileInfo>

#include <unistd.h>

namespace {
const char* answerName(LoggerUi::Answer answer)
{
    switch (answer) {
    case LoggerUi::Answer::Retry:
        return "Retry";
    case LoggerUi::Answer::Ok:
        return "OK";
    case LoggerUi::Answer::Cancel:
        break;
    }
    return "Cancel";
}
} // namespace

ProgressStyle progressStyleFor(Verbosity verbosity, bool terminal)
{
    if (verbosity == Verbosity::Quiet)
        return ProgressStyle::None;
    return terminal ? ProgressStyle::InPlace : ProgressStyle::Lines;
}

bool standardErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

void ConsoleLoggerUi::explainFrom(const LoggerMemory& memory, const MemoryDownload& download,
                                  const QString& devicePath)
{
    memory_ = &memory;
    download_ = &download;
    devicePath_ = devicePath;
}

void ConsoleLoggerUi::showInfo(const QString& text)
{
    if (!showInfo_)
        return;
    out_ << text << '\n';
    out_.flush();
}

void ConsoleLoggerUi::showTransferProgress(int totalBytes)
{
    totalBytes_ = totalBytes;
    setBytesReceived(0);
}

void ConsoleLoggerUi::setBytesReceived(int bytesReceived)
{
    if (progress_ == ProgressStyle::None)
        return;
    if (progress_ == ProgressStyle::InPlace)
        out_ << '\r';
    out_ << LoggerTexts::BytesReceived << ' ' << bytesReceived << ' ' << LoggerTexts::TotalBytes
         << ' ' << totalBytes_;
    if (progress_ == ProgressStyle::Lines)
        out_ << '\n';
    out_.flush();
}

void ConsoleLoggerUi::closeTransferProgress()
{
    if (progress_ != ProgressStyle::InPlace)
        return;
    out_ << '\n';
    out_.flush();
}

void ConsoleLoggerUi::showMessage(const QString& text)
{
    out_ << text << '\n';
    out_.flush();
}

bool ConsoleLoggerUi::deviceGone() const
{
    // An unplugged adapter and a closed pseudo-terminal both take their
    // device node with them.
    return !devicePath_.isEmpty() && !QFileInfo::exists(devicePath_);
}

LoggerUi::Answer ConsoleLoggerUi::choose(Buttons buttons)
{
    if (buttons == Buttons::RetryCancel && download_ && deviceGone()) {
        portGoneNote_ = LoadFailureNotes::portWentAway(download_->lastTransfer());
        return Answer::Cancel;
    }
    if (retriesLeft_ > 0) {
        --retriesLeft_;
        return Answer::Retry;
    }
    if (buttons == Buttons::RetryOkCancel && repair_)
        return Answer::Ok;
    return Answer::Cancel;
}

LoggerUi::Answer ConsoleLoggerUi::ask(const QString& text, Buttons buttons)
{
    if (buttons == Buttons::RetryOkCancel && memory_)
        out_ << "audimark-cli: " << LoadFailureNotes::damagedSet(memory_->errorPosition()) << '\n';
    const Answer answer = choose(buttons);
    out_ << text << " [" << answerName(answer) << "]\n";
    if (buttons == Buttons::RetryOkCancel && answer == Answer::Cancel && !repair_)
        out_ << "audimark-cli: --repair drops that data set and every later one from the meter; "
                "--keep-damaged saves the memory image as it is\n";
    out_.flush();
    return answer;
}

void ConsoleLoggerUi::showError(const QString& text)
{
    out_ << "audimark-cli: " << text << '\n';
    out_.flush();
}
