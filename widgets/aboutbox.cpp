#include "widgets/aboutbox.h"

#include "widgets/version.h"
#include "widgets/dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>
#include <QtGlobal>

QString aboutText()
{
    return QStringLiteral("<h3>%1</h3>"
                          "<p>rfid-service, версия %2<br>Qt %3</p>"
                          "<p>Сервисная программа для считывателей RFID, меток и ведомых датчиков "
                          "на линии RS-485.</p>"
                          "<p>Лицензия MIT.</p>"
                          "<p>Программа не хранит ни файлов, ни настроек: каждый запуск начинается "
                          "с одного и того же состояния. Журнал обмена (F12) записывается только "
                          "в файл, который выберет пользователь, по кнопкам «Сохранить…» и "
                          "«Записывать в файл…»; окно выбора файла ничего не запоминает на "
                          "диске.</p>"
                          "<p>Диагностика линии (F11): счётчики и тренды по адресам; в файл — только по кнопкам «Сохранить…».</p>")
        .arg(programTitle(), programVersion(), QString::fromLatin1(qVersion()));
}

void installAboutBox(QWidget *window)
{
    auto *key = new QShortcut(QKeySequence(Qt::Key_F1), window);
    QObject::connect(key, &QShortcut::activated, window, [window] {
        auto *open = window->findChild<QDialog *>(QStringLiteral("AboutBox"));
        if (!open) {
            open = new QDialog(window);
            open->setObjectName(QStringLiteral("AboutBox"));
            open->setWindowTitle(QStringLiteral("О программе"));
            open->setAttribute(Qt::WA_DeleteOnClose);
            auto *text = new QLabel(aboutText(), open);
            text->setTextFormat(Qt::RichText);
            text->setWordWrap(true);
            text->setTextInteractionFlags(Qt::TextSelectableByMouse);
            auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, open);
            QObject::connect(buttons, &QDialogButtonBox::rejected, open, &QDialog::close);
            // The box takes the size its text asks for: a width set from
            // outside made the text wrap into more lines than the height
            // taken from its own size hint had room for.
            auto *layout = new QVBoxLayout(open);
            layout->setSizeConstraint(QLayout::SetFixedSize);
            layout->addWidget(text);
            layout->addWidget(buttons);
        }
        open->show();
        open->raise();
        open->activateWindow();
    });
}
