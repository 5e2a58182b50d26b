#pragma once
// Every message box and input box of the program goes through this
// interface, so tests can script the operator's answers.
#include <QString>

#include <functional>

class QWidget;

class Dialogs
{
public:
    enum class Icon { None, Warning, Critical };

    virtual ~Dialogs() = default;

    // A message box with an OK button. An empty caption means the program
    // title.
    virtual void message(const QString &text, Icon icon = Icon::None,
                         const QString &caption = QString()) = 0;
    // A Yes/No question; true for Yes.
    virtual bool askYesNo(const QString &text) = 0;
    // An input box; cancelling gives the empty string.
    virtual QString inputBox(const QString &prompt, const QString &title,
                             const QString &initial) = 0;
};

// The program title: the main window's caption and every message box's.
inline QString programTitle() { return QStringLiteral("RFID Service Tool"); }

// Modal Qt dialogs over `parent`.
class QtDialogs : public Dialogs
{
public:
    explicit QtDialogs(QWidget *parent = nullptr) : parent_(parent) {}
    void setParent(QWidget *parent) { parent_ = parent; }

    void message(const QString &text, Icon icon, const QString &caption) override;
    bool askYesNo(const QString &text) override;
    QString inputBox(const QString &prompt, const QString &title,
                     const QString &initial) override;

private:
    QWidget *parent_;
};

// Passes every box on to another Dialogs and says when one opens and when it
// has closed, so the owner can hold still meanwhile (a modal box runs an
// event loop of its own, in which timers keep firing).
class GuardedDialogs : public Dialogs
{
public:
    GuardedDialogs(Dialogs &inner, std::function<void()> opens, std::function<void()> closed)
        : inner_(inner), opens_(std::move(opens)), closed_(std::move(closed))
    {
    }

    void message(const QString &text, Icon icon = Icon::None,
                 const QString &caption = QString()) override
    {
        Guard g(*this);
        inner_.message(text, icon, caption);
    }
    bool askYesNo(const QString &text) override
    {
        Guard g(*this);
        return inner_.askYesNo(text);
    }
    QString inputBox(const QString &prompt, const QString &title, const QString &initial) override
    {
        Guard g(*this);
        return inner_.inputBox(prompt, title, initial);
    }

private:
    struct Guard {
        explicit Guard(GuardedDialogs &d) : d_(d) { d_.opens_(); }
        ~Guard() { d_.closed_(); }
        GuardedDialogs &d_;
    };

    Dialogs &inner_;
    std::function<void()> opens_;
    std::function<void()> closed_;
};
