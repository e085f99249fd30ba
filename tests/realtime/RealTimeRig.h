#pragma once

// The Run and Stop commands with a real-time graph window, a fake clock and
// scripted answers to every question, message and setup dialog.

#include "common/FakeMeterClock.h"

#include "graph/GraphWindowState.h"
#include "graph/TfrmGraph.h"
#include "realtime/RealTimeCommands.h"
#include "realtime/TfrmSetupRealTime.h"

#include <QLineEdit>
#include <QStringList>

#include <functional>
#include <memory>

struct RealTimeRig
{
    FakeMeterClock clock;
    GraphWindowState state;
    bool connected = true;
    RealTimeCommands commands;
    std::unique_ptr<TfrmGraph> window;

    QStringList questions;
    QStringList messages;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    int dialogsShown = 0;
    // What the user does in "Real-Time Setup"; accepts with Start unless it
    // returns false.
    std::function<bool(TfrmSetupRealTime&)> setup;
    // The graph saves asked for, and whether they write their file.
    int saves = 0;
    bool saveWrites = true;

    RealTimeRig()
        : commands(state, clock,
                   {[this] { return connected; }, [this] { createGraph(); }, nullptr,
                    [this](TfrmGraph&) {
                        ++saves;
                        return saveWrites;
                    }})
    {
        state.dialogs.ask = [this](QWidget*, const QString& text, QMessageBox::StandardButtons) {
            questions << text;
            return answer;
        };
        state.dialogs.inform = [this](QWidget*, const QString& text) { messages << text; };
        state.dialogs.exec = [this](QDialog& dialog) {
            ++dialogsShown;
            auto& form = static_cast<TfrmSetupRealTime&>(dialog);
            const bool start = setup ? setup(form) : true;
            return start ? int(QDialog::Accepted) : int(QDialog::Rejected);
        };
    }

    void createGraph()
    {
        window = std::make_unique<TfrmGraph>(state);
        window->setWindowTitle(TfrmGraph::RealTimeCaption);
        state.RealTimeGraph = window.get();
        window->makeRealTimeGraph();
        commands.attachGraph(window.get());
    }

    // Run with this point count and rate typed into the dialog.
    void run(const QString& count, const QString& rate)
    {
        setup = [count, rate](TfrmSetupRealTime& form) {
            form.findChild<QLineEdit*>(QStringLiteral("edtRealTimeNo"))->setText(count);
            form.setRateText(rate);
            return true;
        };
        commands.btnRunClick();
    }

    // One reading, `ms` after the previous one.
    void feed(float level, int ms = 1000)
    {
        clock.advance(ms);
        MeterReading reading;
        reading.level = level;
        commands.recorder().sampleReading(reading);
    }
};
