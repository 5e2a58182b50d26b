#include "protocol/commands.h"

namespace proto {

namespace {

constexpr CommandInfo kCommands[] = {
    {Command::SlaveRs485, 4, "данные RS485 ведомого"},
    {Command::TagPoll, 8, "ответ метки"},
    {Command::TagParams, 19, "подтверждение параметров метки"},
    {Command::TagSerial, 12, "подтверждение сер. номера метки"},
    {Command::TagData, 8, "параметры метки"},
    {Command::IdTable, 9, "таблица привязанных ID"},
    {Command::IdTableRead, 4, "таблица привязанных ID"},
    {Command::SlaveData, 4, "данные ведомого"},
    {Command::IdTableClear, 4, "подтверждение очистки таблицы"},
    {Command::ReaderData, 4, "данные считывателя"},
    {Command::Delay, 6, "доп. параметры считывателя"},
    {Command::Mode, 5, "подтверждение режима"},
    {Command::AveragingOff, 0, "подтверждение снятия усреднения"},
    {Command::RadioParams, 8, "подтверждение параметров"},
    {Command::FullLevel, 4, "подтверждение верхнего уровня"},
    {Command::ReaderSerial, 8, "подтверждение сер. номера"},
    {Command::DelayRead, 4, "доп. параметры считывателя"},
    {Command::Averaging, 0, "подтверждение усреднения"},
    {Command::EmptyLevel, 4, "подтверждение нижнего уровня"},
    {Command::NetAddress, 5, "подтверждение сетевого номера"},
    {Command::Identification, 4, "идентификация считывателя"},
    {Command::Inversion, 0, "подтверждение инверсии"},
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

} // namespace proto
