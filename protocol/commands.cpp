#include "protocol/commands.h"

namespace proto {

namespace {

// Confirmation texts are the readers' own words, leading blanks included.
constexpr CommandInfo kCommands[] = {
    {Command::SlaveRs485, 4, "данные RS485 ведомого", nullptr},
    {Command::TagPoll, 8, "ответ метки", nullptr},
    {Command::TagParams, 19, "подтверждение параметров метки", "Считаны параметры метки."},
    {Command::TagSerial, 12, "подтверждение сер. номера метки", nullptr},
    {Command::TagData, 8, "параметры метки", nullptr},
    {Command::IdTable, 9, "таблица привязанных ID", nullptr},
    {Command::IdTableRead, 4, "таблица привязанных ID", nullptr},
    {Command::SlaveData, 4, "данные ведомого", nullptr},
    {Command::IdTableClear, 4, "подтверждение очистки таблицы", nullptr},
    {Command::ReaderData, 4, "данные считывателя", nullptr},
    {Command::Delay, 6, "доп. параметры считывателя", nullptr},
    {Command::Mode, 5, "подтверждение режима", " Установлен новый режим."},
    {Command::AveragingOff, 0, "подтверждение снятия усреднения", " Снято усреднение."},
    {Command::RadioParams, 8, "подтверждение параметров", nullptr},
    {Command::FullLevel, 4, "подтверждение верхнего уровня", " Установлен верхний уровень."},
    {Command::ReaderSerial, 8, "подтверждение сер. номера", "Установлен серийный номер."},
    {Command::DelayRead, 4, "доп. параметры считывателя", nullptr},
    {Command::Averaging, 0, "подтверждение усреднения", " Установлено кол. усреднение."},
    {Command::EmptyLevel, 4, "подтверждение нижнего уровня", " Установлен нижний уровень."},
    {Command::NetAddress, 5, "подтверждение сетевого номера", " Установлен сетевой номер."},
    {Command::Identification, 4, "идентификация считывателя", nullptr},
    {Command::Inversion, 0, "подтверждение инверсии", "Изменена инверсия."},
};

} // namespace

const char *modeName(quint8 code)
{
    switch (code) {
    case 0:
        return "Мост";
    case 1:
        return "Считыватель-индикатор";
    case 2:
        return "Считыватель";
    case 6:
        return "Повторитель";
    case 16:
        return "Метка  с питанием";
    default:
        return nullptr;
    }
}

const CommandInfo *commandInfo(quint8 c)
{
    for (const CommandInfo &row : kCommands) {
        if (code(row.command) == c)
            return &row;
    }
    return nullptr;
}

int requestLength(quint8 command)
{
    const CommandInfo *row = commandInfo(command);
    return row ? row->requestLength : 0;
}

QString confirmationText(quint8 c)
{
    const CommandInfo *row = commandInfo(c);
    return row && row->confirmation ? QString::fromUtf8(row->confirmation) : QString();
}

} // namespace proto
