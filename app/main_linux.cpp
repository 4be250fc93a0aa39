// The Linux program's entry point: the command line, the configuration,
// then one of the commands.
#include <cstdio>
#include <string>

#include "app/cli_options.h"
#include "app/exit_codes.h"
#include "app/service_linux.h"
#include "app/service_log_linux.h"
#include "app/stop_signal_linux.h"
#include "dashboard/live_command_linux.h"
#include "link/station_link_linux.h"
#include "export/export_command_linux.h"
#include "readings/units.h"
#include "app/status_command_linux.h"
#include "report/report_command_linux.h"
#include "resources/resource_ids.h"
#include "settings/config_linux.h"

int main(int argc, char** argv)
{
    // Before any thread exists, so that all of them leave the two signals
    // to the main thread.
    installStopSignals();
    CliOptions options;
    std::string error;
    if (!parseCommandLine(argc, argv, options, error)) {
        printProgramNote(LogLevel::error, error);
        return EXIT_USAGE;
    }
    if (options.command == CliCommand::help) {
        std::fputs(CLI_USAGE, stdout);
        return EXIT_DONE;
    }
    if (options.command == CliCommand::version) {
        std::printf("aerovane %s\n", AEROVANE_VERSION_TEXT);
        return EXIT_DONE;
    }
    AppConfig config = defaultAppConfig();
    if (!loadConfig(options.configPath, !options.configPath.empty(), config))
        return EXIT_CONFIG;
    setCurrentUnitSettings(config.units);
    setConsoleClockSync(config.clockSync);
    switch (options.command) {
    case CliCommand::live:
        return runLive(options);
    case CliCommand::exportHistory:
        return runExport(options, config);
    case CliCommand::report:
        return runReport(options, config);
    case CliCommand::status:
        return runStatus(options, config);
    case CliCommand::run:
        return runService(options, config);
    default:
        return EXIT_USAGE;
    }
}
