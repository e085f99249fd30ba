#pragma once

// A LoggerUi for tests: notes every call as a line of text ("message:...",
// "ask:...", "progress:4096", ...) and answers questions from a script;
// an empty script answers Cancel. A hook runs before each answer, for tests
// that change the world while the question is open.

#include "logger/LoggerUi.h"

#include <QList>
#include <QRegularExpression>
#include <QStringList>

#include <functional>

class ScriptedLoggerUi : public LoggerUi
{
public:
    QStringList events;
    QList<Answer> answers;
    std::function<void()> beforeAnswer;
    QList<DataSetListRow> rows;
    int lastBytesReceived = -1;
    int progressUpdates = 0;

    void showInfo(const QString& text) override { events << "info:" + text; }
    void closeInfo() override { events << "closeInfo"; }
    void showTransferProgress(int totalBytes) override
    {
        events << "progress:" + QString::number(totalBytes);
    }
    void setBytesReceived(int bytesReceived) override
    {
        lastBytesReceived = bytesReceived;
        ++progressUpdates;
    }
    void repaintTransferProgress() override { events << "repaint"; }
    void closeTransferProgress() override { events << "closeProgress"; }
    void showMessage(const QString& text) override { events << "message:" + text; }
    Answer ask(const QString& text, Buttons buttons) override
    {
        events << QStringLiteral("ask%1:%2")
                      .arg(buttons == Buttons::RetryOkCancel ? "RetryOkCancel" : "RetryCancel",
                           text);
        if (beforeAnswer)
            beforeAnswer();
        return answers.isEmpty() ? Answer::Cancel : answers.takeFirst();
    }
    void showError(const QString& text) override { events << "error:" + text; }
    bool prepareLoggerWindow() override
    {
        events << "window";
        return true;
    }
    void showDataSetRows(const QList<DataSetListRow>& list) override
    {
        rows = list;
        events << "rows:" + QString::number(list.size());
    }
    void showDataSet(int index) override { events << "show:" + QString::number(index); }

    [[nodiscard]] QStringList messages() const
    {
        return events.filter(QRegularExpression("^message:"));
    }
};
