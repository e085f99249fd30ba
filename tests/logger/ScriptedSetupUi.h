#pragma once

// A LoggerSetupUi for tests: notes what the user would see ("message:...",
// "ask:...", "stage:..."), keeps the labels and the memory test's grid rows,
// and answers questions from a script (an empty script answers No). A hook
// runs before each answer and at each stage, for tests that change the world
// meanwhile.

#include "logger/LoggerSetupUi.h"

#include <QList>
#include <QMap>
#include <QRegularExpression>

#include <functional>

class ScriptedSetupUi : public LoggerSetupUi
{
public:
    QStringList events;
    QList<bool> answers;
    QMap<Label, QString> labels;
    QList<QStringList> gridRows;
    int logStarts = 0;
    bool busy = false;
    std::function<void(const QString& stage)> onStage;
    std::function<void()> beforeAnswer;

    void showMessage(const QString& text) override { events << "message:" + text; }
    bool askYesNo(const QString& text) override
    {
        events << "ask:" + text;
        if (beforeAnswer)
            beforeAnswer();
        return !answers.isEmpty() && answers.takeFirst();
    }
    void setBusy(bool on) override { busy = on; }
    void setLabel(Label label, const QString& text) override { labels[label] = text; }
    void startMemoryTestLog() override
    {
        ++logStarts;
        gridRows.clear();
    }
    void logMemoryTestRow(const QStringList& cells) override { gridRows << cells; }
    void showStage(const QString& text) override
    {
        events << "stage:" + text;
        if (onStage)
            onStage(text);
    }
    void closeStage() override { events << "closeStage"; }

    [[nodiscard]] QStringList messages() const
    {
        return events.filter(QRegularExpression("^message:"));
    }
};
