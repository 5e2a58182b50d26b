#pragma once
// Dialogs whose answers a test scripts in advance; every box shown is recorded.
#include "widgets/dialogs.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

class ScriptedDialogs : public Dialogs
{
public:
    struct Input {
        QString prompt, title, initial;
    };

    QStringList messages;           // texts of the message boxes, in order
    QStringList questions;          // texts of the Yes/No boxes
    std::vector<Input> inputs;      // input boxes shown
    std::deque<bool> yesNoAnswers;  // answers to come; No when none is left
    std::deque<QString> inputAnswers; // answers to come; cancel ("") when none is left
    // The answers once those above are used up (instead of No and cancel).
    std::optional<bool> standingYesNo;
    std::optional<QString> standingInput;
    // Runs while each box is open, as the box's own event loop would run
    // timers and port notifications.
    std::function<void()> whileOpen;

    void message(const QString &text, Icon, const QString &) override
    {
        messages << text;
        open();
    }
    bool askYesNo(const QString &text) override
    {
        questions << text;
        open();
        if (yesNoAnswers.empty())
            return standingYesNo.value_or(false);
        const bool a = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return a;
    }
    QString inputBox(const QString &prompt, const QString &title, const QString &initial) override
    {
        inputs.push_back({prompt, title, initial});
        open();
        if (inputAnswers.empty())
            return standingInput.value_or(QString());
        QString a = inputAnswers.front();
        inputAnswers.pop_front();
        return a;
    }

private:
    void open()
    {
        if (whileOpen)
            whileOpen();
    }
};
