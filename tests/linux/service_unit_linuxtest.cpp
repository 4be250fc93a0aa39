// The systemd unit as the build installs it: systemd accepts it, its
// sandbox scores at most 2.0 in systemd's own audit, and a fault that needs
// a person stops the restarts instead of repeating them. systemd-analyze
// reads the file offline, so no running systemd is needed.
#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "app/exit_codes.h"
#include "tests/support/process_linux.h"

namespace {

using e2e::Process;
using e2e::TempDir;

const char* const ANALYZE = "/usr/bin/systemd-analyze";
constexpr double EXPOSURE_LIMIT = 2.0;

std::string unitText()
{
    return e2e::readFile(AEROVANE_UNIT_FILE);
}

// The values of `key` in `section`, in order.
std::vector<std::string> values(const std::string& unit, const std::string& section, const std::string& key)
{
    std::vector<std::string> found;
    std::istringstream in(unit);
    std::string line;
    std::string current;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '[')
            current = line;
        else if (current == "[" + section + "]" && line.rfind(key + "=", 0) == 0)
            found.push_back(line.substr(key.size() + 1));
    }
    return found;
}

// A systemd time span of one number and unit: "10", "10s", "10min", "1h".
int seconds(const std::string& span)
{
    std::size_t digits = 0;
    const int number = std::stoi(span, &digits);
    const std::string unit = span.substr(digits);
    return unit == "min" ? number * 60 : unit == "h" ? number * 3600 : unit.empty() || unit == "s" ? number : -1;
}

class ServiceUnit : public ::testing::Test {
protected:
    TempDir dir;

    void SetUp() override
    {
        if (access(ANALYZE, X_OK) != 0)
            GTEST_SKIP() << "systemd-analyze is not installed (sh scripts/setup.sh installs package systemd)";
    }

    // Runs systemd-analyze; its exit code, with what it said in out and err.
    int analyze(const std::vector<std::string>& options, std::string& out, std::string& err)
    {
        std::vector<std::string> args = {ANALYZE};
        args.insert(args.end(), options.begin(), options.end());
        Process program(args, dir.path("analyze.out"), dir.path("analyze.err"));
        int code = -1;
        EXPECT_TRUE(program.waitExit(&code, 60000));
        out = e2e::readFile(dir.path("analyze.out"));
        err = e2e::readFile(dir.path("analyze.err"));
        return code;
    }
};

TEST_F(ServiceUnit, SystemdAcceptsItWithTheBuiltProgram)
{
    // The installed unit with ExecStart= pointing at this build's program:
    // systemd checks that the command exists.
    std::string unit = unitText();
    const std::string exec = "ExecStart=";
    const std::size_t start = unit.find("\n" + exec);
    ASSERT_NE(start, std::string::npos) << unit;
    const std::size_t path = start + 1 + exec.size();
    const std::size_t end = unit.find(' ', path);
    const std::string installed = unit.substr(path, end - path);
    const std::string name = "/bin/aerovane";
    ASSERT_TRUE(installed.size() > name.size() && installed.compare(installed.size() - name.size(), name.size(), name) == 0)
        << installed;
    unit.replace(path, end - path, e2e::aerovaneBinary());
    const std::string copy = dir.path("aerovane.service");
    e2e::writeFile(copy, unit, 0644);

    std::string out;
    std::string err;
    EXPECT_EQ(analyze({"verify", "--man=no", "--recursive-errors=no", copy}, out, err), 0) << out << err;
    // An unknown or misspelt setting is only a warning to systemd.
    EXPECT_EQ(err, "");
}

TEST_F(ServiceUnit, ItsSandboxScoresAtMostTwoInSystemdsAudit)
{
    std::string out;
    std::string err;
    EXPECT_EQ(analyze({"security", "--offline=true", "--no-pager", AEROVANE_UNIT_FILE}, out, err), 0) << err;
    const std::string label = "Overall exposure level for aerovane.service: ";
    const std::size_t at = out.find(label);
    ASSERT_NE(at, std::string::npos) << out << err;
    const double exposure = std::strtod(out.c_str() + at + label.size(), nullptr);
    EXPECT_GT(exposure, 0.0) << out;
    EXPECT_LE(exposure, EXPOSURE_LIMIT) << out;
}

TEST_F(ServiceUnit, WhatARestartCannotCureStopsTheRestarts)
{
    const std::string unit = unitText();
    ASSERT_EQ(values(unit, "Service", "Restart"), std::vector<std::string>{"on-failure"});
    // Every exit code that needs a person.
    const std::vector<std::string> prevent = values(unit, "Service", "RestartPreventExitStatus");
    ASSERT_EQ(prevent.size(), 1u) << unit;
    std::istringstream codes(prevent[0]);
    std::vector<int> listed;
    for (int code = 0; codes >> code;)
        listed.push_back(code);
    for (int code : {EXIT_USAGE, EXIT_CONFIG, EXIT_ARCHIVE_NEWER, EXIT_ARCHIVE_IN_USE})
        EXPECT_NE(std::find(listed.begin(), listed.end(), code), listed.end()) << code;
    // Any other fault is tried again, but not for ever: systemd's default
    // limit (5 starts in 10 s) never trips with a restart every few seconds.
    const std::vector<std::string> interval = values(unit, "Unit", "StartLimitIntervalSec");
    const std::vector<std::string> burst = values(unit, "Unit", "StartLimitBurst");
    const std::vector<std::string> pause = values(unit, "Service", "RestartSec");
    ASSERT_EQ(interval.size(), 1u);
    ASSERT_EQ(burst.size(), 1u);
    ASSERT_EQ(pause.size(), 1u);
    EXPECT_LT(std::stoi(burst[0]) * seconds(pause[0]), seconds(interval[0]));
}

} // namespace
