#include "app/cli_options.h"

#include <cstring>

#include "export/export_options.h"

const char CLI_USAGE[] =
    "Usage: aerovane [--config=PATH] [--console=PATH] [--archive=PATH] COMMAND [options]\n"
    "\n"
    "Commands\n"
    "  live [--json]        print each live observation in the configured units;\n"
    "                       --json: one JSON object per line\n"
    "  export               download the console's history and write it to a file\n"
    "      --from=YYYY-MM-DD --to=YYYY-MM-DD, or --whole-period\n"
    "      --sets=LIST      data sets, comma-separated (default all): pressure,\n"
    "                       outdoor, indoor, dewpoint, wind, heatindex, rain, uv,\n"
    "                       ch1 ... ch7, all\n"
    "      -o FILE          the file to write\n"
    "      --format=csv     UTF-8 comma-separated with an ISO date-time column\n"
    "                       (default: the Windows program's UTF-16 tab-separated file)\n"
    "      --from-archive   from the archive instead of the console: no download\n"
    "  run                  the service: keeps the console's clock, uploads to the\n"
    "                       configured weather services (one log line per upload),\n"
    "                       stores every observation in the archive, merges the\n"
    "                       console's history into it at start and then daily, and\n"
    "                       refreshes the report page when [report] folder is set\n"
    "  report -o DIR        write the report page DIR/index.html from the archive\n"
    "  status [--json]      what each weather network has had from the archive: the\n"
    "                       last accepted observation, the last refusal, how many\n"
    "                       wait and the next attempt; --json: one JSON array\n"
    "\n"
    "Options\n"
    "  --config=PATH        configuration file (default $XDG_CONFIG_HOME/aerovane/\n"
    "                       aerovane.conf, else ~/.config/aerovane/aerovane.conf, else\n"
    "                       /etc/aerovane.conf)\n"
    "  --console=PATH       the console simulator's socket instead of the USB console\n"
    "  --archive=PATH       the archive (default: [archive] path in the configuration,\n"
    "                       else $XDG_DATA_HOME/aerovane/archive.sqlite, else\n"
    "                       ~/.local/share/aerovane/archive.sqlite)\n"
    "  --help, --version\n";

namespace {

constexpr unsigned bitOf(CliCommand command)
{
    return 1u << static_cast<unsigned>(command);
}

constexpr unsigned ANY = ~0u;
constexpr unsigned EXPORT = bitOf(CliCommand::exportHistory);

struct Option {
    const char* name;
    bool takesValue;
    unsigned commands; // bits of the commands that take it
};

const Option OPTIONS[] = {
    {"--config", true, ANY},
    {"--console", true, ANY},
    {"--archive", true, ANY},
    {"--json", false, bitOf(CliCommand::live) | bitOf(CliCommand::status)},
    {"--from", true, EXPORT},
    {"--to", true, EXPORT},
    {"--whole-period", false, EXPORT},
    {"--sets", true, EXPORT},
    {"--output", true, EXPORT | bitOf(CliCommand::report)},
    {"-o", true, EXPORT | bitOf(CliCommand::report)},
    {"--format", true, EXPORT},
    {"--from-archive", false, EXPORT},
};

const char* commandName(CliCommand command)
{
    switch (command) {
    case CliCommand::live:
        return "live";
    case CliCommand::exportHistory:
        return "export";
    case CliCommand::run:
        return "run";
    case CliCommand::report:
        return "report";
    case CliCommand::status:
        return "status";
    default:
        return "";
    }
}

CliCommand commandNamed(const char* name)
{
    if (std::strcmp(name, "live") == 0)
        return CliCommand::live;
    if (std::strcmp(name, "export") == 0)
        return CliCommand::exportHistory;
    if (std::strcmp(name, "run") == 0)
        return CliCommand::run;
    if (std::strcmp(name, "report") == 0)
        return CliCommand::report;
    if (std::strcmp(name, "status") == 0)
        return CliCommand::status;
    if (std::strcmp(name, "help") == 0)
        return CliCommand::help;
    return CliCommand::none;
}

struct Given {
    const Option* option;
    std::string value;
};

int refuse(std::string& error, const std::string& reason)
{
    error = reason;
    return 0;
}

int apply(const Given& given, CliOptions& options, std::string& error)
{
    const std::string name = given.option->name;
    const std::string& value = given.value;
    if (given.option->takesValue && value.empty())
        return refuse(error, name + " needs a value");
    if (name == "--config")
        options.configPath = value;
    else if (name == "--console")
        options.consolePath = value;
    else if (name == "--archive")
        options.archivePath = value;
    else if (name == "--from-archive")
        options.fromArchive = true;
    else if (name == "--json")
        options.json = true;
    else if (name == "--from")
        options.from = value;
    else if (name == "--to")
        options.to = value;
    else if (name == "--whole-period")
        options.wholePeriod = true;
    else if (name == "--output" || name == "-o")
        options.output = value;
    else if (name == "--format") {
        if (value == "csv")
            options.format = ExportFormat::csv;
        else if (value == "utf16")
            options.format = ExportFormat::utf16;
        else
            return refuse(error, "--format is csv or utf16, not \"" + value + "\"");
    } else if (name == "--sets") {
        char bad[40];
        if (!parseDataSetList(value.c_str(), options.sets, bad, sizeof bad))
            return refuse(error, std::string("unknown data set \"") + bad + "\" in --sets");
    }
    return 1;
}

int checkExport(const CliOptions& options, std::string& error)
{
    if (options.output.empty())
        return refuse(error, "export needs -o FILE");
    const bool dates = !options.from.empty() || !options.to.empty();
    if (options.wholePeriod && dates)
        return refuse(error, "give --whole-period or --from and --to, not both");
    if (!options.wholePeriod && (options.from.empty() || options.to.empty()))
        return refuse(error, "export needs --from=YYYY-MM-DD and --to=YYYY-MM-DD, or --whole-period");
    return 1;
}

} // namespace

int parseCommandLine(int argc, const char* const* argv, CliOptions& options, std::string& error)
{
    options = CliOptions{};
    for (bool& set : options.sets)
        set = true;
    error.clear();
    Given given[64];
    int givenCount = 0;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            options.command = CliCommand::help;
            return 1;
        }
        if (std::strcmp(arg, "--version") == 0) {
            options.command = CliCommand::version;
            return 1;
        }
        if (arg[0] != '-') {
            if (options.command != CliCommand::none)
                return refuse(error, std::string("unexpected argument \"") + arg + "\"");
            options.command = commandNamed(arg);
            if (options.command == CliCommand::none)
                return refuse(error, std::string("unknown command \"") + arg + "\"");
            if (options.command == CliCommand::help)
                return 1;
            continue;
        }
        const char* equals = std::strchr(arg, '=');
        const std::string name(arg, equals ? static_cast<std::size_t>(equals - arg) : std::strlen(arg));
        const Option* option = nullptr;
        for (const Option& o : OPTIONS)
            if (name == o.name)
                option = &o;
        if (!option)
            return refuse(error, "unknown option " + name);
        if (givenCount == static_cast<int>(sizeof given / sizeof given[0]))
            return refuse(error, "too many options");
        Given& g = given[givenCount++];
        g.option = option;
        if (equals) {
            if (!option->takesValue)
                return refuse(error, name + " takes no value");
            g.value = equals + 1;
        } else if (option->takesValue) {
            if (i + 1 >= argc)
                return refuse(error, name + " needs a value");
            g.value = argv[++i];
        }
    }
    if (options.command == CliCommand::none)
        return refuse(error, "no command: live, export, run, report or status (see --help)");
    for (int i = 0; i < givenCount; ++i) {
        const Option& option = *given[i].option;
        if ((option.commands & bitOf(options.command)) == 0)
            return refuse(error, std::string(option.name) + " is not an option of " + commandName(options.command));
        if (!apply(given[i], options, error))
            return 0;
    }
    if (options.command == CliCommand::exportHistory)
        return checkExport(options, error);
    if (options.command == CliCommand::report && options.output.empty())
        return refuse(error, "report needs -o DIR");
    return 1;
}
