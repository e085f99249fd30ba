#pragma once

// Message boxes of the logger commands as the user would see them, answered
// from a script instead of waiting for a click: every box shown is noted
// (caption, text, buttons); an empty script closes the box, which answers
// with its escape button.

#include "app/LoggerDialogs.h"

#include <QList>
#include <QStringList>

#include <functional>

struct ShownBox
{
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
};

class LoggerBoxScript
{
public:
    QList<ShownBox> shown;
    QStringList errors;
    QList<QMessageBox::StandardButton> answers;
    // Runs while a box is open, before it is answered.
    std::function<void(const ShownBox&)> whileOpen;

    [[nodiscard]] LoggerDialogs dialogs()
    {
        LoggerDialogs dialogs;
        dialogs.exec = [this](QMessageBox& box) {
            const ShownBox seen{box.windowTitle(), box.text(), box.standardButtons()};
            shown.append(seen);
            if (whileOpen)
                whileOpen(seen);
            if (!answers.isEmpty())
                return answers.takeFirst();
            return box.escapeButton() ? box.standardButton(box.escapeButton())
                                      : QMessageBox::Cancel;
        };
        dialogs.showError = [this](const QString& text) { errors.append(text); };
        return dialogs;
    }

    [[nodiscard]] QStringList texts() const
    {
        QStringList out;
        for (const ShownBox& box : shown)
            out.append(box.text);
        return out;
    }
};
