#pragma once

// The logger commands' windows on a terminal: the information text, the
// transfer progress and the messages go to a text stream (standard error);
// questions are answered without asking: Retry as often as allowed, then
// Cancel. There is no graph window; the rows and the shown set are ignored.

#include "logger/LoggerUi.h"

#include <QTextStream>

class ConsoleLoggerUi : public LoggerUi
{
public:
    ConsoleLoggerUi(QTextStream& out, int retries) : out_(out), retriesLeft_(retries) {}

    void showInfo(const QString& text) override;
    void closeInfo() override {}
    void showTransferProgress(int totalBytes) override;
    void setBytesReceived(int bytesReceived) override;
    void repaintTransferProgress() override {}
    void closeTransferProgress() override;
    void showMessage(const QString& text) override;
    [[nodiscard]] Answer ask(const QString& text, Buttons buttons) override;
    void showError(const QString& text) override;
    bool prepareLoggerWindow() override { return false; }
    void showDataSetRows(const QList<DataSetListRow>&) override {}
    void showDataSet(int) override {}

private:
    QTextStream& out_;
    int retriesLeft_;
    int totalBytes_ = 0;
};
