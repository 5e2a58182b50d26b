#include "widgets/accessibility.h"

#include <QAbstractButton>
#include <QAccessible>
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

void nameControls(QWidget *window)
{
    for (const auto &c : kCaptions) {
        auto *control = window->findChild<QWidget *>(QString::fromUtf8(c.control));
        auto *caption = window->findChild<QLabel *>(QString::fromUtf8(c.caption));
        if (control && caption)
            control->setAccessibleName(caption->text().simplified());
    }
    for (const auto &n : kNames) {
        if (auto *control = window->findChild<QWidget *>(QString::fromUtf8(n.control)))
            control->setAccessibleName(QString::fromUtf8(n.name));
    }
    for (QTabWidget *pages : window->findChildren<QTabWidget *>())
        pages->tabBar()->setAccessibleName(QStringLiteral("Страницы"));

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
