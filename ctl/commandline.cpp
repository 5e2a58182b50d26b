#include "ctl/commandline.h"

#include "ctl/failure.h"
#include "protocol/frame.h"
#include "serial/netaddress.h"
#include "serial/portnames.h"

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
        {{"retries"}, "N", "повторить запрос без верного ответа до N раз (0..10, по умолчанию 2)"},
        {{"timeout"}, "МС", "ждать ответа до МС миллисекунд (50..10000; без него: 256 мс)"},
        {{"json"}, nullptr, "вывод в JSON (форматы: man rfidctl)"},
        {{"o", "output"}, "ФАЙЛ", "записать профиль в ФАЙЛ"},
        {{"y", "yes"}, nullptr, "не спрашивать подтверждения (нужно, когда ввод не с терминала)"},
        {{"with-address"}, nullptr, "записать и сетевой адрес из профиля (0..200)"},
        {{"count"}, "N", "закончить после N запросов (watch) или N меток (tag program); без него: до Ctrl+C"},
        {{"dry-run"}, nullptr, "ничего не записывать, только показать отличия (как diff)"},
        {{"all"}, nullptr, "все считыватели, которые найдёт поиск, вместо АДРЕС"},
        {{"csv"}, nullptr, "вывод в CSV (для электронных таблиц)"},
        {{"id"}, "HEX", "новый ID метки, до 8 шестнадцатеричных цифр"},
        {{"first-id"}, "HEX", "ID первой метки партии; следующие - по порядку"},
        {{"delay"}, "N", "задержка метки, 0..65535"},
        {{"mode"}, "N", "режим метки, 0..255"},
        {{"power"}, "N", "мощность метки, 1..255"},
        {{"period"}, "N", "период метки, 1..32767"},
        {{"from"}, "ФАЙЛ", "параметры метки из ФАЙЛ (как выводит tag --json)"},
        {{"journal"}, "ФАЙЛ", "журнал партии (JSON Lines): дописывается по метке, с ним партия продолжается"},
    };
    return rows;
}
constexpr int kGlobalOptions = 7;

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
        {"info", "АДРЕС[,АДРЕС...] | --all [--json]", "идентификация и один длинный ответ 0xF0, расшифрованный",
         1, {"json", "all"}},
        {"settings", "АДРЕС[,АДРЕС...] | --all [--json] [-o ФАЙЛ | -o ПАПКА/]",
         "режим, сеть/канал/мощность, задержка обнуления ID, десять привязанных ID: профиль", 1,
         {"json", "output", "all"}},
        {"apply", "АДРЕС[,АДРЕС...] | --all ФАЙЛ [--yes] [--with-address] [--dry-run] [--json]",
         "записать профиль в считыватель, прочитать обратно и сравнить", 2,
         {"yes", "with-address", "dry-run", "json", "all"}},
        {"diff", "АДРЕС[,АДРЕС...] | --all ФАЙЛ [--json]",
         "профиль и считыватель поле за полем; ничего не записывается", 2, {"json", "all"}},
        {"watch", "АДРЕС [--count N] [--json | --csv]",
         "строка на каждый ответ: уровень, текущее значение, темп-ра, ID метки, режим", 1,
         {"count", "json", "csv"}},
        {"tag", "АДРЕС [--json]", "метка, которую слышит считыватель, и её параметры", 1, {"json"}},
        {"tag write", "АДРЕС --id HEX [--delay N --mode N --power N --period N | --from ФАЙЛ] [--yes] [--json]",
         "записать в метку, которую слышит считыватель, ID и параметры, прочитать обратно и сравнить", 1,
         {"id", "delay", "mode", "power", "period", "from", "yes", "json"}},
        {"tag program",
         "АДРЕС --first-id HEX [--count N] [--journal ФАЙЛ] [--from ФАЙЛ | --delay N --mode N --power N --period N] "
         "[--yes] [--json]",
         "партия меток: каждой новой метке у считывателя - следующий ID и параметры, со сверкой", 1,
         {"first-id", "count", "journal", "delay", "mode", "power", "period", "from", "yes", "json"}},
    };
    return rows;
}

// The row of the command words at the start of `words` ("tag write" takes
// two), and how many words it took.
const CommandRow *findCommand(const QStringList &words, int *taken)
{
    const CommandRow *found = nullptr;
    for (const CommandRow &c : commandTable()) {
        const QStringList name = QString::fromUtf8(c.name).split(QLatin1Char(' '));
        if (words.mid(0, int(name.size())) == name && (!found || name.size() > *taken)) {
            found = &c;
            *taken = int(name.size());
        }
    }
    return found;
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
    return qstrcmp(c.name, "ports") == 0 ? QStringLiteral("[--port ПОРТ] ") : QStringLiteral("[--demo | --port ПОРТ] ");
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
        text += QStringLiteral("  %1  %2\n").arg(QString::fromUtf8(c.name), -11).arg(QString::fromUtf8(c.summary));
    text += QStringLiteral("\nПараметры:\n");
    for (int i = 0; i < kGlobalOptions; ++i)
        text += optionLine(optionTable()[std::size_t(i)]);
    text += QStringLiteral(
        "\nКоды выхода: 0 готово; 1 устройство не ответило или ответило неверно;\n"
        "2 неверный вызов, профиль или файл; 3 порт не открывается; 4 порт потерян\n"
        "во время работы. У нескольких считывателей код - худший из их кодов.\n"
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

QString comNumberFault(const QString &port)
{
    // "COM" and a plain number: one of the operator's port names, which
    // run from COM1 to COM30. Any other name is a device path.
    if (!port.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) || port.size() == 3 || !port.at(3).isDigit())
        return QString();
    bool ok = false;
    const int n = port.mid(3).toInt(&ok);
    if (ok && n >= PortNames::FirstPort && n <= PortNames::LastPort)
        return QString();
    return QStringLiteral("%1 - не порт COM%2..COM%3").arg(port).arg(PortNames::FirstPort).arg(PortNames::LastPort);
}

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
    int commandWords = 0;
    const CommandRow *command = findCommand(words, &commandWords);
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
    const QStringList args = parser.positionalArguments().mid(commandWords);
    // --all stands where the addresses would.
    const bool all = has("all");
    const int positionals = command->positionals - (all ? 1 : 0);
    if (args.size() != positionals)
        return usageError(args.size() < positionals ? QStringLiteral("не хватает аргументов")
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
    if (const QString fault = comNumberFault(inv.port); !fault.isEmpty())
        return usageError(fault, command);
    inv.all = all;
    if (command->positionals >= 1 && !all) {
        // Several readers only where the command takes --all.
        const QStringList items = command->options.contains(QStringLiteral("all"))
                                      ? args.at(0).split(QLatin1Char(','))
                                      : QStringList{args.at(0)};
        for (const QString &item : items) {
            const std::optional<quint8> address = proto::addressFromText(item);
            if (!address)
                return usageError(QStringLiteral("адрес должен быть числом от 0 до 255: ") + item, command);
            if (inv.addresses.contains(*address))
                return usageError(QStringLiteral("адрес %1 указан дважды").arg(*address), command);
            inv.addresses.append(*address);
        }
        inv.address = inv.addresses.first();
    }
    if (command->positionals == 2)
        inv.file = args.at(positionals - 1);
    else if (has("output"))
        inv.file = parser.value(QStringLiteral("output"));
    const auto number = [&](const char *name, int low, int high, int *to) {
        const QString option = QString::fromLatin1(name);
        if (!parser.isSet(option))
            return true;
        bool ok = false;
        const int value = parser.value(option).toInt(&ok);
        if (!ok || value < low || value > high)
            return false;
        *to = value;
        return true;
    };
    if (!number("retries", 0, 10, &inv.retries))
        return usageError(QStringLiteral("--retries: нужно целое число от 0 до 10"), command);
    if (!number("timeout", 50, 10000, &inv.timeoutMs))
        return usageError(QStringLiteral("--timeout: нужно целое число миллисекунд от 50 до 10000"), command);
    if (has("count")) {
        bool ok = false;
        inv.count = parser.value(QStringLiteral("count")).toInt(&ok);
        if (!ok || inv.count < 1)
            return usageError(QStringLiteral("--count: нужно целое число больше 0"), command);
    }
    inv.json = has("json");
    inv.csv = has("csv");
    if (inv.json && inv.csv)
        return usageError(QStringLiteral("--json и --csv вместе не указываются"), command);
    const auto tagValue = [&](const char *name, std::optional<qint64> *to) {
        if (!has(name))
            return true;
        bool ok = false;
        *to = parser.value(QString::fromLatin1(name)).toLongLong(&ok);
        return ok;
    };
    for (const auto &[name, to] : {std::pair{"delay", &inv.delay}, std::pair{"mode", &inv.mode},
                                   std::pair{"power", &inv.power}, std::pair{"period", &inv.period}}) {
        if (!tagValue(name, to))
            return usageError(QStringLiteral("--%1: нужно целое число").arg(QLatin1String(name)), command);
    }
    if (has("from") && (inv.delay || inv.mode || inv.power || inv.period))
        return usageError(QStringLiteral("--from и --delay/--mode/--power/--period вместе не указываются"), command);
    if (has("from"))
        inv.file = parser.value(QStringLiteral("from"));
    if (command->options.contains(QStringLiteral("id"))) {
        if (!has("id"))
            return usageError(QStringLiteral("не указан новый ID метки (--id)"), command);
        inv.tagId = parser.value(QStringLiteral("id"));
    }
    if (command->options.contains(QStringLiteral("first-id"))) {
        if (!has("first-id"))
            return usageError(QStringLiteral("не указан ID первой метки (--first-id)"), command);
        inv.firstId = parser.value(QStringLiteral("first-id"));
        inv.journal = parser.value(QStringLiteral("journal"));
    }
    inv.yes = has("yes");
    inv.withAddress = has("with-address");
    inv.dryRun = has("dry-run");
    if (inv.withAddress && (inv.all || inv.addresses.size() > 1))
        return usageError(QStringLiteral("--with-address - только для одного считывателя"), command);
    return ParsedLine{inv, exitcode::Done, {}, {}};
}
