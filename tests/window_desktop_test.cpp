// What a technician expects of a desktop tool around the window: keys that
// work in any keyboard layout, an About box, names a screen reader can say,
// and Qt's own texts in Russian.
#include "support/windowfixture.h"

#include "app/translations.h"
#include "window/accessibility.h"
#include "widgets/version.h"
#include "widgets/lamp.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTranslator>

namespace {

enum class Effect { Searches, OpensPort, ClosesPort, ShowsAbout };

struct KeyCase {
    const char *name;
    const char *focus; // the control that has the focus, or none
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool portOpen; // the port is open before the key
    Effect effect;
};

const KeyCase kKeyCases[] = {
    {"EnterPressesTheFocusedButton", "Opros", Qt::Key_Return, Qt::NoModifier, true, Effect::Searches},
    {"KeypadEnterPressesTheFocusedButton", "BTNOpenCom", Qt::Key_Enter, Qt::KeypadModifier, false,
     Effect::OpensPort},
    {"AltGIsAltПOnALatinLayout", nullptr, Qt::Key_G, Qt::AltModifier, true, Effect::Searches},
    {"AltJOpensThePortOnALatinLayout", nullptr, Qt::Key_J, Qt::AltModifier, false, Effect::OpensPort},
    {"AltОOpensThePortOnTheRussianLayout", nullptr, Qt::Key(0x041E), Qt::AltModifier, false,
     Effect::OpensPort},
    {"AltPClosesThePortOnALatinLayout", nullptr, Qt::Key_P, Qt::AltModifier, true, Effect::ClosesPort},
    {"AltЗClosesThePortOnTheRussianLayout", nullptr, Qt::Key(0x0417), Qt::AltModifier, true,
     Effect::ClosesPort},
    {"F1ShowsTheAboutBox", nullptr, Qt::Key_F1, Qt::NoModifier, false, Effect::ShowsAbout},
};

void PrintTo(const KeyCase &c, std::ostream *os)
{
    *os << c.name;
}

std::string keyCaseName(const ::testing::TestParamInfo<KeyCase> &info)
{
    // Test names are ASCII: the Cyrillic letter is spelt out.
    return QString::fromUtf8(info.param.name)
        .replace(QChar(0x041F), "Pe").replace(QChar(0x041E), "O").replace(QChar(0x0417), "Ze")
        .toStdString();
}

} // namespace

class KeyTest : public WindowTest, public ::testing::WithParamInterface<KeyCase>
{
};

TEST_P(KeyTest, PressesWhatTheKeySays)
{
    const KeyCase &c = GetParam();
    port.existing = {3};
    w->Timer1_Timer();
    if (c.portOpen)
        w->BTNOpenCom_Click();
    ASSERT_EQ(port.open, c.portOpen);
    setVars([](CycleVars &v) { v.wrs.clear(); });
    w->show();
    QApplication::setActiveWindow(w.get());
    QWidget *target = w.get();
    if (c.focus) {
        target = ctl<QWidget>(c.focus);
        target->setFocus();
    }

    QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers);
    QKeyEvent release(QEvent::KeyRelease, c.key, c.modifiers);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);

    switch (c.effect) {
    case Effect::Searches:
        EXPECT_EQ(w->vars().wrs, bytes({0x31, 0xFF, 0xDC}));
        break;
    case Effect::OpensPort:
        EXPECT_TRUE(port.open);
        break;
    case Effect::ClosesPort:
        EXPECT_FALSE(port.open);
        break;
    case Effect::ShowsAbout: {
        auto *about = w->findChild<QDialog *>("AboutBox");
        ASSERT_NE(about, nullptr);
        const QString text = about->findChild<QLabel *>()->text();
        EXPECT_TRUE(text.contains(programVersion()));
        EXPECT_TRUE(text.contains(QString::fromLatin1(qVersion())));
        EXPECT_TRUE(text.contains("MIT"));
        // Whole, down to its last line.
        auto *label = about->findChild<QLabel *>();
        EXPECT_GE(label->height(), label->heightForWidth(label->width()));
        break;
    }
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyTest, ::testing::ValuesIn(kKeyCases), keyCaseName);

// Every control a technician operates, on every page, is announced by a
// name of its own; the lamp and the level bar say what they show.
TEST_F(WindowTest, EveryOperableControlHasANameOfItsOwn)
{
    w->show();
    const auto spoken = [](QWidget *c) {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(c);
        return a ? a->text(QAccessible::Name).simplified() : QString();
    };
    QMap<QString, QString> owners; // lower-case name -> control
    QStringList faults;
    auto *pages = ctl<QTabWidget>("SSTab1");
    QSet<QWidget *> seen;
    for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        for (QWidget *c : w->findChildren<QWidget *>()) {
            const bool operated = (qobject_cast<QAbstractButton *>(c) || qobject_cast<QComboBox *>(c)
                                   || qobject_cast<QLineEdit *>(c) || qobject_cast<QTabBar *>(c))
                                  && !qobject_cast<QComboBox *>(c->parentWidget());
            if (!operated || !c->isVisibleTo(w.get()) || seen.contains(c))
                continue;
            seen.insert(c);
            const QString name = spoken(c);
            if (name.isEmpty())
                faults << c->objectName() + ": no name";
            else if (owners.contains(name.toLower()))
                faults << c->objectName() + " and " + owners[name.toLower()] + ": both \"" + name + '"';
            else
                owners[name.toLower()] = c->objectName();
        }
    }
    EXPECT_GT(seen.size(), 30);
    EXPECT_TRUE(faults.isEmpty()) << faults.join('\n').toStdString();
    EXPECT_EQ(spoken(ctl<QWidget>("R_p485")), "Метка с питанием");
    EXPECT_EQ(spoken(ctl<Lamp>("Pic")), "обмен");
    EXPECT_EQ(spoken(ctl<QProgressBar>("ProgressBar1")), "Уровень");
    // The address box by its caption, the page list by what it is.
    EXPECT_EQ(spoken(ctl<QComboBox>("CmbNet")), "Сетевой Адрес");
    EXPECT_EQ(spoken(pages->tabBar()), "Страницы устройств: мост");
    // A value with its caption, as it changes.
    auto *tagId = ctl<QLabel>("hi");
    tagId->setText("12AB3C");
    EXPECT_EQ(spoken(tagId), "ID метки: 12AB3C");
    EXPECT_EQ(spoken(ctl<QLabel>("m1_9")), "Привязанные ID 10: 0");
    // Every control the names are given to by its object name exists.
    EXPECT_EQ(missingNamedControls(w.get()), QStringList());
}

// "Контакт" shows what the slave sensor reports: a click does not change it.
TEST_F(WindowTest, TheContactIndicatorIgnoresClicks)
{
    openPort();
    showPage(Page::Bridge);
    w->show();
    auto *contact = ctl<QCheckBox>("Check_sl");
    const QPoint at = contact->mapTo(w.get(), contact->rect().center());
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent click(type, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w->windowHandle(), &click);
    }
    EXPECT_FALSE(contact->isChecked());
}

// Qt's own texts (a text box's context menu, the standard buttons) are
// Russian whatever the system's language.
TEST(QtTranslationTest, QtsTextsAreRussianOnAnySystem)
{
    QTranslator *ru = installQtTranslations();
    ASSERT_NE(ru, nullptr) << "Qt's Russian translation (qt6-translations-l10n) is not installed";
    const QString copy = QCoreApplication::translate("QLineEdit", "&Copy");
    const QString close = QCoreApplication::translate("QPlatformTheme", "Close");
    QCoreApplication::removeTranslator(ru);
    delete ru;
    EXPECT_EQ(copy, "&Копировать");
    EXPECT_EQ(close, "Закрыть");
}
