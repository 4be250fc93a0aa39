// The Linux program's command line:
//   aerovane [--config=PATH] [--console=PATH] live [--json]
//   aerovane [...] export (--from=YYYY-MM-DD --to=YYYY-MM-DD | --whole-period)
//                         [--sets=LIST] -o FILE [--format=csv]
//   aerovane [...] export --from-archive (period and choices as above)
//   aerovane [...] run
//   aerovane [...] report -o DIR
//   aerovane [...] status [--json]
// Options take "--name=value" or "--name value" and may stand before or
// after the command. Only the shape is checked here; the dates get the
// export's own checks, the paths their own when they are opened.
#pragma once

#include <string>

#include "export/export_request.h"

enum class CliCommand { none, live, exportHistory, run, report, status, help, version };
enum class ExportFormat { utf16, csv };

struct CliOptions {
    CliCommand command;
    std::string configPath;  // empty: the default places
    std::string consolePath; // empty: the USB console
    std::string archivePath; // empty: the configured or default archive
    bool json;               // live, status
    // export
    bool wholePeriod;
    std::string from;
    std::string to;
    bool sets[DATA_SET_COUNT];
    std::string output; // export: the file; report: the folder
    ExportFormat format;
    bool fromArchive; // export from the archive, not the console
};

// Returns 1 with `options` filled, or 0 with a one-line reason in `error`:
// no or an unknown command, an unknown option or one the command does not
// take, a missing or empty value, an export or report without -o, an export
// without a period (or with both --whole-period and dates), a bad --sets=
// name or --format=.
// "--help"/"-h" and "--version" need no command.
int parseCommandLine(int argc, const char* const* argv, CliOptions& options, std::string& error);

// The usage text printed by --help.
extern const char CLI_USAGE[];
