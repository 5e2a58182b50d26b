#include "app/commandline.h"

#include "widgets/version.h"

#include <cstdio>
#include <cstring>

QString helpText()
{
    return QStringLiteral(
        "Использование: rfid-service [--demo] [--port tcp://АДРЕС:ПОРТ | rfc2217://АДРЕС:ПОРТ]\n"
        "Сервисная программа для считывателей RFID на линии RS-485 (COM-порт).\n"
        "\n"
        "Параметры:\n"
        "  --demo         Работа на имитируемой линии (считыватели 5 и 7).\n"
        "  --port ЛИНИЯ   Линия за Ethernet-шлюзом (tcp://... или rfc2217://...),\n"
        "                 выбранная в списке портов; F9 - ввести её в окне.\n"
        "  -h, --help     Показать эту справку.\n"
        "  -v, --version  Показать имя и версию программы.\n"
        "\n"
        "Порты COM1..COM4 - /dev/ttyS0..3, COM5..COM20 - /dev/ttyUSB0..15,\n"
        "COM21..COM30 - /dev/ttyACM0..9. Доступ к ним даёт группа dialout.\n"
        "Подробнее: man rfid-service.\n");
}

std::optional<int> answerWithoutDisplay(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (std::strcmp(a, "--") == 0)
            break;
        if (std::strcmp(a, "--version") == 0 || std::strcmp(a, "-v") == 0) {
            const QByteArray line = (QStringLiteral("rfid-service ") + programVersion()).toUtf8() + '\n';
            std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout);
            return 0;
        }
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "--help-all") == 0
            || std::strcmp(a, "-h") == 0 || std::strcmp(a, "-?") == 0) {
            const QByteArray text = helpText().toUtf8();
            std::fwrite(text.constData(), 1, std::size_t(text.size()), stdout);
            return 0;
        }
    }
    // An unknown long option is refused here too: without a display the
    // start would end in Qt's abort before the option parser could say so.
    // Qt's own options (-platform, -style, ...) take one dash.
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (std::strcmp(a, "--") == 0)
            break;
        if (std::strncmp(a, "--", 2) == 0 && std::strcmp(a, "--demo") != 0) {
            const QByteArray text = (QStringLiteral("rfid-service: неизвестный параметр: ") + QString::fromLocal8Bit(a)
                                     + QStringLiteral("\nСправка: rfid-service --help\n"))
                                        .toUtf8();
            std::fwrite(text.constData(), 1, std::size_t(text.size()), stderr);
            return 1;
        }
    }
    return std::nullopt;
}
