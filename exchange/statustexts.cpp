#include "exchange/statustexts.h"

#include "protocol/commands.h"

#include <QStringList>

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

bool isConfirmation(quint8 code)
{
    using proto::Command;
    switch (Command(code)) {
    case Command::TagParams:
    case Command::EmptyLevel:
    case Command::Mode:
    case Command::FullLevel:
    case Command::NetAddress:
    case Command::Averaging:
    case Command::AveragingOff:
    case Command::ReaderSerial:
    case Command::Inversion:
        return true;
    default:
        return false;
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

QString sharedAddress(const QVector<quint8> &addresses)
{
    QStringList numbers;
    for (const quint8 a : addresses)
        numbers << QString::number(a);
    return QStringLiteral("Два считывателя отвечают по %1 %2: их ответы смешиваются, показанные значения "
                          "ничьи. Оставьте на линии один из них и задайте ему свободный адрес.")
        .arg(addresses.size() == 1 ? QStringLiteral("адресу") : QStringLiteral("адресам"),
             numbers.join(QStringLiteral(", ")));
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

QString noAddressPicked()
{
    return QStringLiteral("Запросов нет: выберите найденный адрес");
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

QString droppedChecksum()
{
    return QStringLiteral("отброшен: неверная контрольная сумма");
}

QString droppedTooShort()
{
    return QStringLiteral("отброшен: короче, чем ответ с этим кодом");
}

QString droppedOtherAddress(quint8 askedAddress)
{
    return QStringLiteral("отброшен: ответ на запрос к прежнему адресу %1").arg(askedAddress);
}

QString droppedNoSearch()
{
    return QStringLiteral("отброшен: не кадр, а поиск не запущен");
}

QString droppedTooLongForSearch()
{
    return QStringLiteral("отброшен: слишком длинный для ответа на поиск");
}

QString dropped(const proto::Reception &rc)
{
    using proto::Verdict;
    switch (rc.verdict) {
    case Verdict::TooShort:
        return droppedTooShort();
    case Verdict::BadChecksum:
        return droppedChecksum();
    case Verdict::OtherAddress:
        return droppedOtherAddress(rc.askedAddress.value_or(0));
    case Verdict::Noise:
        return droppedNoSearch();
    default:
        return QStringLiteral("отброшен: ") + proto::verdictText(rc.verdict);
    }
}

} // namespace status
