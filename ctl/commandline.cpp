#include "ctl/commandline.h"

#include "ctl/failure.h"
#include "protocol/frame.h"
#include "serial/netaddress.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <vector>

namespace {

struct OptionRow {
    QStringList names;
    const char *valueName; // null: a switch
    const char *help;
};

// Every option, global ones first.
const std::vector<OptionRow> &optionTable()
{
    static const std::vector<OptionRow> rows{
        {{"p", "port"}, "ПОРТ",
         "COM1..COM30, путь устройства (/dev/ttyUSB0) или линия за Ethernet-шлюзом: tcp://АДРЕС:ПОРТ, "
         "rfc2217://АДРЕС:ПОРТ"},
        {{"demo"}, nullptr, "имитируемая линия со считывателями 5 и 7, как у rfid-service --demo"},
        {{"latency"}, "МС", "задержка сети до шлюза в мс (без него: измеряется)"},
        {{"h", "help"}, nullptr, "эта справка"},
        {{"v", "version"}, nullptr, "имя и версия программы"},
        {{"json"}, nullptr, "вывод в JSON (форматы: man rfidctl)"},
        {{"o", "output"}, "ФАЙЛ", "записать профиль в ФАЙЛ"},
        {{"y", "yes"}, nullptr, "не спрашивать подтверждения (нужно, когда ввод не с терминала)"},
        {{"with-address"}, nullptr, "записать и сетевой адрес из профиля (0..200)"},
        {{"count"}, "N", "закончить после N запросов (без него: до Ctrl+C)"},
    };
    return rows;
}
constexpr int kGlobalOptions = 5;

struct CommandRow {
    const char *name;
    const char *arguments; // what follows the command word
    const char *summary;
    int positionals;       // 0, 1 (ADDR) or 2 (ADDR FILE)
    QStringList options;   // long names of its own options
};

const std::vector<CommandRow> &commandTable()
{
    static const std::vector<CommandRow> rows{
        {"ports", "[--json]", "COM-имена и их устройства", 0, {"json"}},
        {"search", "[--json]", "считыватели на линии: адрес, сер. номер, версия ПО", 0, {"json"}},
        {"info", "АДРЕС [--json]", "идентификация и один длинный ответ 0xF0, расшифрованный", 1, {"json"}},
        {"settings", "АДРЕС [--json] [-o ФАЙЛ]",
         "режим, сеть/канал/мощность, задержка обнуления ID, десять привязанных ID: профиль", 1,
         {"json", "output"}},
        {"apply", "АДРЕС ФАЙЛ [--yes] [--with-address]",
         "записать профиль в считыватель, прочитать обратно и сравнить", 2, {"yes", "with-address"}},
        {"watch", "АДРЕС [--count N] [--json]",
         "строка на каждый ответ: уровень, текущее значение, темп-ра, ID метки, режим", 1,
         {"count", "json"}},
        {"tag", "АДРЕС [--json]", "метка, которую слышит считыватель, и её параметры", 1, {"json"}},
    };
    return rows;
}

const CommandRow *findCommand(const QString &name)
{
    for (const CommandRow &c : commandTable()) {
        if (name == QLatin1String(c.name))
            return &c;
    }
    return nullptr;
}

QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// Qt's own texts are English; the common fault is said here in Russian.
QString parseFault(const QCommandLineParser &parser)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return QStringLiteral("неизвестный параметр: ") + dashed(unknown.first());
    return QStringLiteral("неверный параметр: ") + parser.errorText();
}

QCommandLineOption makeOption(const OptionRow &o)
{
    return o.valueName ? QCommandLineOption(o.names, QString::fromUtf8(o.help), QString::fromUtf8(o.valueName))
                       : QCommandLineOption(o.names, QString::fromUtf8(o.help));
}

QString portPart(const CommandRow &c)
{
    return QLatin1String(c.name) == QLatin1String("ports") ? QStringLiteral("[--port ПОРТ] ")
                                                           : QStringLiteral("[--demo | --port ПОРТ] ");
}

QString usageLine(const CommandRow *c)
{
    if (!c)
        return QStringLiteral("Использование: rfidctl [--demo | --port ПОРТ] КОМАНДА [АРГУМЕНТЫ]; "
                              "справка: rfidctl --help\n");
    return QStringLiteral("Использование: rfidctl ") + portPart(*c) + QLatin1String(c->name) + QLatin1Char(' ')
           + QString::fromUtf8(c->arguments) + QLatin1Char('\n');
}

QString optionLine(const OptionRow &o)
{
    QStringList forms;
    for (const QString &n : o.names)
        forms << dashed(n);
    QString left = forms.join(QStringLiteral(", "));
    if (o.valueName)
        left += QLatin1Char(' ') + QString::fromUtf8(o.valueName);
    return QStringLiteral("  %1  %2\n").arg(left, -20).arg(QString::fromUtf8(o.help));
}

QString generalHelp()
{
    QString text = usageLine(nullptr)
                   + QStringLiteral("Линия считывателей RFID (RS-485) из терминала: те же кадры, тот же\n"
                                    "порядок обмена и те же порты, что у rfid-service.\n\nКоманды:\n");
    for (const CommandRow &c : commandTable())
        text += QStringLiteral("  %1  %2\n").arg(QString::fromUtf8(c.name), -9).arg(QString::fromUtf8(c.summary));
    text += QStringLiteral("\nПараметры:\n");
    for (int i = 0; i < kGlobalOptions; ++i)
        text += optionLine(optionTable()[std::size_t(i)]);
    text += QStringLiteral(
        "\nКоды выхода: 0 готово; 1 устройство не ответило или ответило неверно;\n"
        "2 неверный вызов или профиль; 3 порт не открывается.\n"
        "Справка по команде: rfidctl КОМАНДА --help. Подробнее: man rfidctl.\n");
    return text;
}

QString commandHelp(const CommandRow &c)
{
    QString summary = QString::fromUtf8(c.summary);
    summary[0] = summary.at(0).toUpper();
    QString text = usageLine(&c) + summary + QStringLiteral(".\n\nПараметры:\n");
    for (const OptionRow &o : optionTable()) {
        if (c.options.contains(o.names.back()))
            text += optionLine(o);
    }
    return text;
}

ParsedLine usageError(const QString &fault, const CommandRow *c)
{
    ParsedLine p;
    p.exitCode = exitcode::Usage;
    p.err = QStringLiteral("rfidctl: ") + fault + QLatin1Char('\n') + usageLine(c);
    return p;
}

ParsedLine printOut(const QString &text)
{
    ParsedLine p;
    p.out = text;
    return p;
}

} // namespace

QString programVersionLine()
{
    return QStringLiteral("rfidctl " RFIDCTL_VERSION "\n");
}

ParsedLine parseCommandLine(const QStringList &arguments)
{
    // First pass: every option known, so that option values are not taken
    // for the command word.
    QCommandLineParser first;
    for (const OptionRow &o : optionTable())
        first.addOption(makeOption(o));
    const bool known = first.parse(arguments);
    if (known && first.isSet(QStringLiteral("version")))
        return printOut(programVersionLine());
    const QStringList words = first.positionalArguments();
    const CommandRow *command = words.isEmpty() ? nullptr : findCommand(words.first());
    if (!command) {
        if (!known)
            return usageError(parseFault(first), nullptr);
        if (words.isEmpty() && first.isSet(QStringLiteral("help")))
            return printOut(generalHelp());
        return usageError(words.isEmpty() ? QStringLiteral("не указана команда")
                                          : QStringLiteral("неизвестная команда: ") + words.first(),
                          nullptr);
    }

    // Second pass: the global options and exactly this command's own.
    QCommandLineParser parser;
    for (std::size_t i = 0; i < optionTable().size(); ++i) {
        const OptionRow &o = optionTable()[i];
        if (int(i) < kGlobalOptions || command->options.contains(o.names.back()))
            parser.addOption(makeOption(o));
    }
    if (!parser.parse(arguments))
        return usageError(parseFault(parser), command);
    if (parser.isSet(QStringLiteral("help")))
        return printOut(commandHelp(*command));
    // Only this command's options may be asked about: the parser warns
    // about any other.
    const auto has = [&](const char *name) {
        const QString option = QString::fromLatin1(name);
        return command->options.contains(option) && parser.isSet(option);
    };
    const QStringList args = parser.positionalArguments().mid(1);
    if (args.size() != command->positionals)
        return usageError(args.size() < command->positionals ? QStringLiteral("не хватает аргументов")
                                                          : QStringLiteral("лишний аргумент: ") + args.last(),
                          command);

    Invocation inv;
    inv.command = QString::fromUtf8(command->name);
    inv.port = parser.value(QStringLiteral("port"));
    inv.demo = parser.isSet(QStringLiteral("demo"));
    if (inv.demo && parser.isSet(QStringLiteral("port")))
        return usageError(QStringLiteral("--demo и --port вместе не указываются"), command);
    if (!inv.demo && inv.port.isEmpty() && inv.command != QLatin1String("ports"))
        return usageError(QStringLiteral("не указан порт (--port)"), command);
    if (parser.isSet(QStringLiteral("latency"))) {
        bool ok = false;
        inv.latencyMs = parser.value(QStringLiteral("latency")).toInt(&ok);
        if (!ok || inv.latencyMs < 0 || inv.latencyMs > 10000)
            return usageError(QStringLiteral("--latency: нужно целое число мс от 0 до 10000"), command);
        if (!looksLikeNetworkPort(inv.port))
            return usageError(QStringLiteral("--latency имеет смысл только для линии tcp:// или rfc2217://"),
                              command);
    }
    if (command->positionals >= 1) {
        const std::optional<quint8> address = proto::addressFromText(args.at(0));
        if (!address)
            return usageError(QStringLiteral("адрес должен быть числом от 0 до 255: ") + args.at(0), command);
        inv.address = *address;
    }
    if (command->positionals == 2)
        inv.file = args.at(1);
    else if (has("output"))
        inv.file = parser.value(QStringLiteral("output"));
    if (has("count")) {
        bool ok = false;
        inv.count = parser.value(QStringLiteral("count")).toInt(&ok);
        if (!ok || inv.count < 1)
            return usageError(QStringLiteral("--count: нужно целое число больше 0"), command);
    }
    inv.json = has("json");
    inv.yes = has("yes");
    inv.withAddress = has("with-address");
    return ParsedLine{inv, exitcode::Done, {}, {}};
}
