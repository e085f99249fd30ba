#pragma once

// The logger setup's LoggerSetupUi for audimark-cli: messages are kept for
// the command to print (on standard output after a success, on standard
// error after a failure), the erase question is answered by --yes, and the
// window's labels, grid, stages and cursor have no console counterpart.

#include "logger/LoggerSetupUi.h"

#include <QStringList>

class ConsoleSetupUi : public LoggerSetupUi
{
public:
    explicit ConsoleSetupUi(bool answerYes) : answerYes_(answerYes) {}

    void showMessage(const QString& text) override { messages_ << text; }
    [[nodiscard]] bool askYesNo(const QString& text) override
    {
        questions_ << text;
        return answerYes_;
    }
    void setBusy(bool) override {}
    void setLabel(Label, const QString&) override {}
    void startMemoryTestLog() override {}
    void logMemoryTestRow(const QStringList&) override {}
    void showStage(const QString&) override {}
    void closeStage() override {}

    [[nodiscard]] const QStringList& messages() const { return messages_; }
    [[nodiscard]] const QStringList& questions() const { return questions_; }

private:
    bool answerYes_;
    QStringList messages_;
    QStringList questions_;
};
