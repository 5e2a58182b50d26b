#include "widgets/dialogs.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

void QtDialogs::message(const QString &text, Icon icon, const QString &caption)
{
    QMessageBox box(parent_);
    box.setWindowTitle(caption.isEmpty() ? programTitle() : caption);
    box.setText(text);
    switch (icon) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

bool QtDialogs::askYesNo(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, programTitle(), text,
                    QMessageBox::Yes | QMessageBox::No, parent_);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogs::inputBox(const QString &prompt, const QString &title, const QString &initial)
{
    QInputDialog dialog(parent_);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(initial);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Отмена"));
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.textValue();
}
