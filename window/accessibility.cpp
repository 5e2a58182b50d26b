#include "window/accessibility.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabBar>
#include <QTabWidget>
#include <QWidget>

namespace {

// Controls whose name is the text of the caption beside them.
const struct {
    const char *control;
    const char *caption;
} kCaptions[] = {
    {"CmbNet", "Label4"},
    {"R_a", "R_analog"},       {"R_f", "R_fr"},         {"R_p485", "цццц"},
    {"R485", "R_485"},         {"R_p", "Label2"},       {"usredn", "usred"},
    {"iinv", "invers"},        {"num_net", "Label22"},  {"n_kan", "Label23"},
    {"ppow", "Label24"},       {"Zad2", "Label25"},     {"plm", "Label37"},
    {"iddm", "Label39"},       {"ID_Metki", "Label9"},  {"ModeMetki", "Label6"},
    {"sleep_time", "Label21"}, {"IntervalMetki", "Label7"}, {"PowerMetki", "Label8"},
    {"Check_sl", "Label33"},
};

// Labels that show a value, with the caption beside them: a screen reader
// says "ID метки: 012AB3C", not the bare value. A caption that is only a row
// number ("1" .. "10" of the bound-ID table) gets its frame's title in front.
const struct {
    const char *value;
    const char *caption;
} kValues[] = {
    {"sn", "Label5"},         {"vv", "ver2"},          {"hi", "h"},
    {"ne", "n"},              {"ko", "k"},             {"lo", "l"},
    {"netdev", "Label3"},     {"vraa", "vra"},         {"uroven", "ur"},
    {"temp", "te"},           {"tek", "tek_l"},        {"m1_0", "Label28"},
    {"m1_1", "Label29"},      {"m1_2", "Label30"},     {"m1_3", "Label32"},
    {"m1_4", "Label34"},      {"m1_5", "Label36"},     {"m1_6", "Label38"},
    {"m1_7", "Label40"},      {"m1_8", "Label42"},     {"m1_9", "Label44"},
    {"SerNumMetki", "Label14"}, {"outID", "Label15"},  {"UrPr", "Label20"},
    {"outVer", "Label18"},    {"sn_sl", "Label26"},    {"RR_SL_data", "Label27"},
    {"fr_sl", "Label31"},     {"Temp_sl", "temp_slqqqqqqqqq"}, {"ur_sl", "Label35"},
};

// Indicators: they show what the device reports and are never set by hand.
const char *const kIndicators[] = {"Check_sl"};

// The page list: what its pages are for.
const QString kPagesName = QStringLiteral("Страницы устройств");

// Where a value label keeps its caption.
constexpr char kCaptionProperty[] = "accessibleCaption";
// Set on a combo box whose accessible name is its caption.
constexpr char kNamedProperty[] = "accessibleNameIsCaption";

// A value label read as "caption: value", always the value it shows now.
class ValueLabel : public QAccessibleWidget
{
public:
    explicit ValueLabel(QLabel *label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        const auto *label = static_cast<const QLabel *>(widget());
        return label->property(kCaptionProperty).toString() + QStringLiteral(": ")
               + label->text().simplified();
    }
};

// A combo box read by its caption, with its value as the value. On Linux
// Qt's own reads the value as the name and leaves the caption to a relation
// that not every screen reader follows.
class NamedComboBox : public QAccessibleWidget
{
public:
    explicit NamedComboBox(QComboBox *box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return box()->isEditable() ? box()->lineEdit()->text() : box()->currentText();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = box()->view()->isVisible();
        s.editable = box()->isEditable();
        return s;
    }
    int childCount() const override { return box()->isEditable() ? 2 : 1; }
    QAccessibleInterface *child(int index) const override
    {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(box()->view());
        if (index == 1 && box()->isEditable())
            return QAccessible::queryAccessibleInterface(box()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (child->object() == box()->view())
            return 0;
        if (box()->isEditable() && child->object() == box()->lineEdit())
            return 1;
        return -1;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString &action) override
    {
        if (action != showMenuAction() && action != pressAction())
            return;
        if (box()->view()->isVisible())
            box()->hidePopup();
        else
            box()->showPopup();
    }

private:
    QComboBox *box() const { return static_cast<QComboBox *>(widget()); }
};

QAccessibleInterface *namedInterface(const QString &, QObject *object)
{
    if (auto *label = qobject_cast<QLabel *>(object); label && label->property(kCaptionProperty).isValid())
        return new ValueLabel(label);
    if (auto *box = qobject_cast<QComboBox *>(object); box && box->property(kNamedProperty).toBool())
        return new NamedComboBox(box);
    return nullptr;
}

// Qt makes an interface for a widget as soon as anything about it changes
// (every label whose text the form sets): one made before `w` was marked is
// Qt's own. Dropped, it is made again through namedInterface.
void renewInterface(QWidget *w)
{
    if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(w))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void markNamedComboBox(QWidget *control)
{
    if (!qobject_cast<QComboBox *>(control))
        return;
    control->setProperty(kNamedProperty, true);
    renewInterface(control);
}

// Controls with no caption of their own.
const struct {
    const char *control;
    const char *name;
} kNames[] = {
    {"CmbPort", "COM-порт"},
    {"Pic", "обмен"},
    {"ProgressBar1", "Уровень"},
};

// What a screen reader would announce for `w` as things stand.
QString spokenName(QWidget *w)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name).simplified() : w->accessibleName();
}

QString frameTitle(const QWidget *w)
{
    for (const QWidget *p = w->parentWidget(); p; p = p->parentWidget()) {
        if (auto *box = qobject_cast<const QGroupBox *>(p))
            return box->title();
    }
    return QString();
}

bool isOperated(const QWidget *w)
{
    // A combo box's own text box is part of the combo box.
    if (qobject_cast<const QComboBox *>(w->parentWidget()))
        return false;
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QComboBox *>(w)
           || qobject_cast<const QLineEdit *>(w) || qobject_cast<const QTabBar *>(w);
}

} // namespace

QStringList missingNamedControls(const QWidget *window)
{
    QStringList missing;
    const auto need = [&](const char *name) {
        if (!window->findChild<QWidget *>(QString::fromUtf8(name)))
            missing << QString::fromUtf8(name);
    };
    for (const auto &c : kCaptions) {
        need(c.control);
        need(c.caption);
    }
    for (const auto &n : kNames)
        need(n.control);
    for (const auto &v : kValues) {
        need(v.value);
        need(v.caption);
    }
    for (const char *name : kIndicators)
        need(name);
    return missing;
}

void nameControls(QWidget *window)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(namedInterface);
        return true;
    }();
    Q_UNUSED(factoryInstalled);

    for (const auto &c : kCaptions) {
        auto *control = window->findChild<QWidget *>(QString::fromUtf8(c.control));
        auto *caption = window->findChild<QLabel *>(QString::fromUtf8(c.caption));
        if (!control || !caption)
            continue;
        control->setAccessibleName(caption->text().simplified());
        caption->setBuddy(control); // the "labelled by" relation, for those that follow it
        markNamedComboBox(control);
    }
    for (const auto &n : kNames) {
        if (auto *control = window->findChild<QWidget *>(QString::fromUtf8(n.control))) {
            control->setAccessibleName(QString::fromUtf8(n.name));
            markNamedComboBox(control);
        }
    }
    for (const auto &v : kValues) {
        auto *value = window->findChild<QLabel *>(QString::fromUtf8(v.value));
        auto *caption = window->findChild<QLabel *>(QString::fromUtf8(v.caption));
        if (!value || !caption)
            continue;
        QString text = caption->text().simplified();
        if (text.endsWith(QLatin1Char(':')))
            text.chop(1);
        bool isRowNumber = false;
        text.toInt(&isRowNumber);
        if (isRowNumber)
            text = frameTitle(value) + QLatin1Char(' ') + text;
        value->setProperty(kCaptionProperty, text);
        renewInterface(value);
    }
    // Qt reads a tab bar by its current tab alone; each tab's name says
    // what the list is as well.
    for (QTabWidget *pages : window->findChildren<QTabWidget *>()) {
        pages->setAccessibleName(kPagesName);
        QTabBar *bar = pages->tabBar();
        for (int i = 0; i < bar->count(); ++i)
            bar->setAccessibleTabName(i, kPagesName + QStringLiteral(": ") + bar->tabText(i).remove(QLatin1Char('&')));
    }
    // Looks unchanged, but neither a click nor the keyboard reaches it.
    for (const char *name : kIndicators) {
        if (auto *indicator = window->findChild<QWidget *>(QString::fromUtf8(name))) {
            indicator->setAttribute(Qt::WA_TransparentForMouseEvents);
            indicator->setFocusPolicy(Qt::NoFocus);
        }
    }

    // "Установить" and "Считать" occur in several frames: those get their
    // frame's title, which says what they set or read.
    QHash<QString, QList<QWidget *>> byName;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (isOperated(w))
            byName[spokenName(w).toLower()].append(w);
    }
    for (const QList<QWidget *> &same : std::as_const(byName)) {
        if (same.size() < 2)
            continue;
        for (QWidget *w : same) {
            const QString frame = frameTitle(w);
            if (!frame.isEmpty())
                w->setAccessibleName(spokenName(w) + QStringLiteral(" (") + frame + QLatin1Char(')'));
        }
    }
}
