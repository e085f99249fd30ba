#include "tools/cli/ConsoleLoggerUi.h"

#include "logger/LoggerTexts.h"

void ConsoleLoggerUi::showInfo(const QString& text)
{
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
    out_ << '\r' << LoggerTexts::BytesReceived << ' ' << bytesReceived << ' '
         << LoggerTexts::TotalBytes << ' ' << totalBytes_;
    out_.flush();
}

void ConsoleLoggerUi::closeTransferProgress()
{
    out_ << '\n';
    out_.flush();
}

void ConsoleLoggerUi::showMessage(const QString& text)
{
    out_ << text << '\n';
    out_.flush();
}

LoggerUi::Answer ConsoleLoggerUi::ask(const QString& text, Buttons)
{
    const bool retry = retriesLeft_ > 0;
    if (retry)
        --retriesLeft_;
    out_ << text << (retry ? " [Retry]\n" : " [Cancel]\n");
    out_.flush();
    return retry ? Answer::Retry : Answer::Cancel;
}

void ConsoleLoggerUi::showError(const QString& text)
{
    out_ << "audimark-cli: " << text << '\n';
    out_.flush();
}
