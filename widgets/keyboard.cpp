#include "widgets/keyboard.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QWidget>

namespace {

// The Russian letters in the order of the keys that carry them, row by row,
// and the Latin letter of each key; keys whose Latin character is no letter
// ([ ] ; ' , . `) get none, so no shortcut lands on punctuation.
constexpr char16_t kRussianKeys[] = u"ЙЦУКЕНГШЩЗХЪФЫВАПРОЛДЖЭЯЧСМИТЬБЮЁ";
constexpr char kLatinKeys[] = "QWERTYUIOP  ASDFGHJKL  ZXCVBNM   ";

// Lets Enter and Return press the push button that has the focus. Qt does
// that only for buttons in dialogs; a technician who tabbed to a button
// expects it everywhere.
class EnterPresses : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) || key->isAutoRepeat()
            || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        auto *button = qobject_cast<QPushButton *>(watched);
        if (!button || !button->isEnabled() || !button->isVisible())
            return false;
        button->click();
        return true;
    }
};

QKeySequence altKey(QChar letter)
{
    return QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key(letter.toUpper().unicode())));
}

// Presses `button` on `keys` as its own mnemonic would: only while the
// technician can see and use it.
void pressOn(QWidget *window, const QKeySequence &keys, QAbstractButton *button)
{
    auto *shortcut = new QShortcut(keys, window);
    QObject::connect(shortcut, &QShortcut::activated, button, [button] {
        if (button->isVisible() && button->isEnabled()) {
            button->setFocus(Qt::ShortcutFocusReason);
            button->click();
        }
    });
}

} // namespace

QChar latinKeyAt(QChar cyrillic)
{
    const QChar upper = cyrillic.toUpper();
    for (int i = 0; kRussianKeys[i]; ++i) {
        if (kRussianKeys[i] == upper.unicode())
            return kLatinKeys[i] == ' ' ? QChar() : QChar(QLatin1Char(kLatinKeys[i]));
    }
    return QChar();
}

void enterPressesButtons(QWidget *window)
{
    auto *filter = new EnterPresses(window);
    for (QPushButton *button : window->findChildren<QPushButton *>())
        button->installEventFilter(filter);
}

void installKeyboard(QWidget *window)
{
    enterPressesButtons(window);

    // A Cyrillic mnemonic only answers while the Russian layout is active;
    // the same key on the Latin layout presses the button too.
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        const QKeySequence own = QKeySequence::mnemonic(button->text());
        if (own.isEmpty())
            continue;
        const QChar letter(char16_t(own[0].key()));
        const QChar latin = latinKeyAt(letter);
        if (!latin.isNull())
            pressOn(window, altKey(latin), button);
    }

    // The port buttons' captions carry no mnemonic, and their captions stay
    // as technicians know them: the keys are the first letters of "Открыть"
    // and "Закрыть", which no other button of the window uses, in either
    // layout.
    const struct {
        const char *button;
        char16_t letter;
    } portKeys[] = {{"BTNOpenCom", u'О'}, {"BTNCloseCom", u'З'}};
    for (const auto &k : portKeys) {
        auto *button = window->findChild<QAbstractButton *>(QString::fromLatin1(k.button));
        if (!button)
            continue;
        pressOn(window, altKey(QChar(k.letter)), button);
        pressOn(window, altKey(latinKeyAt(QChar(k.letter))), button);
    }
}
