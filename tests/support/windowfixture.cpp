#include "windowfixture.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

QString controlText(const QWidget &window, const char *name)
{
    QObject *c = window.findChild<QObject *>(QString::fromUtf8(name));
    EXPECT_NE(c, nullptr) << "no control " << name;
    if (auto *l = qobject_cast<QLabel *>(c))
        return l->text();
    if (auto *e = qobject_cast<QLineEdit *>(c))
        return e->text();
    if (auto *p = qobject_cast<QPlainTextEdit *>(c))
        return p->toPlainText();
    if (auto *b = qobject_cast<QComboBox *>(c))
        return b->currentText();
    if (auto *a = qobject_cast<QAbstractButton *>(c))
        return a->text();
    return QString();
}
