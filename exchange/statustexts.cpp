#include "exchange/statustexts.h"

#include "protocol/commands.h"

namespace status {

QString forReply(quint8 code)
{
    using proto::Command;
    switch (Command(code)) {
    // Replies that carry data.
    case Command::TagPoll:
        return QStringLiteral("Был ПИНГ.");
    case Command::TagData:
        return QStringLiteral("Считаны данные.");
    case Command::SlaveData:
    case Command::SlaveRs485:
        return QStringLiteral("Приняты данные моста");
    case Command::Delay:
    case Command::DelayRead:
        return QStringLiteral("Приняты доп. параметры считывателя");
    // Confirmations of a setting.
    case Command::TagParams:
        return QStringLiteral("Считаны параметры метки.");
    case Command::EmptyLevel:
        return QStringLiteral(" Установлен нижний уровень.");
    case Command::Mode:
        return QStringLiteral(" Установлен новый режим.");
    case Command::FullLevel:
        return QStringLiteral(" Установлен верхний уровень.");
    case Command::NetAddress:
        return QStringLiteral(" Установлен сетевой номер.");
    case Command::Averaging:
        return QStringLiteral(" Установлено кол. усреднение.");
    case Command::AveragingOff:
        return QStringLiteral(" Снято усреднение.");
    case Command::ReaderSerial:
        return QStringLiteral("Установлен серийный номер.");
    case Command::Inversion:
        return QStringLiteral("Изменена инверсия.");
    default:
        return QString();
    }
}

QString readerDataReceived()
{
    return QStringLiteral("Приняты данные");
}

QString searchDone()
{
    return QStringLiteral("Произошел опрос сети.");
}

QString noReader(const QString &addressText)
{
    return QStringLiteral("Нет данных со считывателя с номером ") + addressText;
}

QString noTag()
{
    return QStringLiteral("Нет связи с меткой ");
}

QString noBridge()
{
    return QStringLiteral("Нет связи с удаленным считывателем");
}

QString writeError()
{
    return QStringLiteral("Ошибка записи в порт");
}

QString noReply()
{
    return QStringLiteral("нет ответа");
}

QString notSentPortLost()
{
    return QStringLiteral("не отправлен: порт потерян");
}

QString notSentPortClosed()
{
    return QStringLiteral("не отправлен: порт закрыт");
}

QString replyNotShown()
{
    return QStringLiteral("не обработан: ошибка записи в порт");
}

} // namespace status
