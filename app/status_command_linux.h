// `aerovane status [--json]`: what each weather network has had from the
// archive, read from the outbox while the service runs: on or off, the last
// accepted observation and when, the last refusal and why, how many
// observations wait, the next attempt.
#pragma once

#include "app/cli_options.h"
#include "settings/config_file.h"

int runStatus(const CliOptions& options, const AppConfig& config);
