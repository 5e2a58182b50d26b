#include "protocol/commands.h"

namespace proto {

namespace {

// Confirmations are whole at 4 bytes; the mode's echoes the mode byte.
constexpr int Confirm = 4;

constexpr CommandInfo kCommands[] = {
    // code, request, name, answered by, reply, long reply, needs, confirmation, checksum checked
    {Command::SlaveRs485, 4, "данные RS485 ведомого", Command::SlaveRs485, 7, 0, 6, false, false},
    {Command::TagPoll, 8, "ответ метки", Command::TagPoll, 13, 0, 12, false, false},
    {Command::TagParams, 19, "подтверждение параметров метки", Command::TagParams, Confirm, 0, Confirm, true, false},
    {Command::TagSerial, 12, "подтверждение сер. номера метки", Command::TagSerial, Confirm, 0, Confirm, true, false},
    {Command::TagData, 8, "параметры метки", Command::TagData, 20, 0, 19, false, false},
    {Command::IdTable, 9, "таблица привязанных ID", Command::IdTable, 44, 0, 43, false, false},
    {Command::IdTableRead, 4, "таблица привязанных ID", Command::IdTable, 0, 0, 0, false, false},
    {Command::SlaveData, 4, "данные ведомого", Command::SlaveData, 14, 0, 13, false, false},
    {Command::IdTableClear, 4, "подтверждение очистки таблицы", Command::IdTableClear, Confirm, 0, Confirm, true, false},
    {Command::ReaderData, 4, "данные считывателя", Command::ReaderData, 21, 26, 21, false, true},
    {Command::Delay, 6, "доп. параметры считывателя", Command::Delay, 6, 0, 5, false, false},
    {Command::Mode, 5, "подтверждение режима", Command::Mode, 5, 0, 4, true, false},
    {Command::AveragingOff, 0, "подтверждение снятия усреднения", Command::AveragingOff, Confirm, 0, Confirm, true, false},
    {Command::RadioParams, 8, "подтверждение параметров", Command::RadioParams, Confirm, 0, Confirm, true, false},
    {Command::FullLevel, 4, "подтверждение верхнего уровня", Command::FullLevel, Confirm, 0, Confirm, true, false},
    {Command::ReaderSerial, 8, "подтверждение сер. номера", Command::ReaderSerial, Confirm, 0, Confirm, true, false},
    // Some readers answer the delay read with its own code.
    {Command::DelayRead, 4, "доп. параметры считывателя", Command::Delay, 6, 0, 5, false, false},
    {Command::Averaging, 0, "подтверждение усреднения", Command::Averaging, Confirm, 0, Confirm, true, false},
    {Command::EmptyLevel, 4, "подтверждение нижнего уровня", Command::EmptyLevel, Confirm, 0, Confirm, true, false},
    {Command::NetAddress, 5, "подтверждение сетевого номера", Command::NetAddress, Confirm, 0, Confirm, true, false},
    // A short identification still shows what it has: any frame is read.
    {Command::Identification, 4, "идентификация считывателя", Command::Identification, 10, 0, 4, false, false},
    {Command::Inversion, 0, "подтверждение инверсии", Command::Inversion, Confirm, 0, Confirm, true, false},
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

bool answers(quint8 requestCode, quint8 replyCode)
{
    const CommandInfo *row = commandInfo(requestCode);
    if (!row)
        return false;
    return replyCode == code(row->answeredBy)
        || (row->command == Command::DelayRead && replyCode == requestCode);
}

} // namespace proto
