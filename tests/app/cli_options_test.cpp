// The Linux program's command line: what each command takes, and the
// mistakes that must be told rather than guessed at.
#include "app/cli_options.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

int parse(std::vector<const char*> args, CliOptions& options, std::string& error)
{
    args.insert(args.begin(), "aerovane");
    return parseCommandLine(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(CliOptions, ExportTakesBothSpellingsAndOptionsOnEitherSide)
{
    CliOptions options;
    std::string error;
    ASSERT_EQ(parse({"--console", "/run/sim", "export", "--from", "2026-03-01", "--to=2026-03-07", "-o", "out.xls",
                     "--sets=wind,uv", "--format=csv", "--config=/etc/a.conf"},
                    options, error),
              1)
        << error;
    EXPECT_EQ(options.command, CliCommand::exportHistory);
    EXPECT_EQ(options.consolePath, "/run/sim");
    EXPECT_EQ(options.configPath, "/etc/a.conf");
    EXPECT_EQ(options.from, "2026-03-01");
    EXPECT_EQ(options.to, "2026-03-07");
    EXPECT_EQ(options.output, "out.xls");
    EXPECT_EQ(options.format, ExportFormat::csv);
    for (int i = 0; i < DATA_SET_COUNT; ++i)
        EXPECT_EQ(options.sets[i], i == 4 || i == 7) << i;
}

TEST(CliOptions, DefaultsAreAllDataSetsAndTheWindowsFile)
{
    CliOptions options;
    std::string error;
    ASSERT_EQ(parse({"export", "--whole-period", "-o", "x"}, options, error), 1) << error;
    EXPECT_EQ(options.format, ExportFormat::utf16);
    for (bool set : options.sets)
        EXPECT_TRUE(set);
    ASSERT_EQ(parse({"live", "--json"}, options, error), 1);
    EXPECT_TRUE(options.json);
    ASSERT_EQ(parse({"status", "--json"}, options, error), 1) << error;
    EXPECT_EQ(options.command, CliCommand::status);
    EXPECT_TRUE(options.json);
    ASSERT_EQ(parse({"run"}, options, error), 1);
    EXPECT_TRUE(options.consolePath.empty());
}

TEST(CliOptions, MistakesAreToldWithTheirReason)
{
    const struct {
        std::vector<const char*> args;
        const char* says;
    } cases[] = {
        {{}, "no command"},
        {{"state"}, "unknown command \"state\""},
        {{"live", "extra"}, "unexpected argument \"extra\""},
        {{"live", "--verbose"}, "unknown option --verbose"},
        {{"run", "--json"}, "--json is not an option of run"},
        {{"live", "--json=yes"}, "--json takes no value"},
        {{"live", "--console"}, "--console needs a value"},
        {{"live", "--console="}, "--console needs a value"},
        {{"export", "--whole-period"}, "-o FILE"},
        {{"export", "-o", "x"}, "--whole-period"},
        {{"export", "-o", "x", "--from=2026-1-1"}, "--whole-period"},
        {{"export", "-o", "x", "--whole-period", "--to=2026-1-1"}, "not both"},
        {{"export", "-o", "x", "--whole-period", "--sets=wind,snow"}, "unknown data set \"snow\""},
        {{"export", "-o", "x", "--whole-period", "--format=xml"}, "csv or utf16"},
        {{"report"}, "report needs -o DIR"},
        {{"report", "-o", "site", "--from-archive"}, "--from-archive is not an option of report"},
        {{"run", "-o", "site"}, "-o is not an option of run"},
        {{"live", "--archive"}, "--archive needs a value"},
    };
    for (const auto& c : cases) {
        CliOptions options;
        std::string error;
        EXPECT_EQ(parse(c.args, options, error), 0) << c.says;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
}

TEST(CliOptions, TheArchiveCommandsAndTheirOptions)
{
    CliOptions options;
    std::string error;
    ASSERT_EQ(parse({"export", "--from-archive", "--whole-period", "-o", "x", "--archive=/var/lib/a.sqlite"},
                    options, error),
              1)
        << error;
    EXPECT_TRUE(options.fromArchive);
    EXPECT_EQ(options.archivePath, "/var/lib/a.sqlite");
    ASSERT_EQ(parse({"report", "-o", "/srv/www"}, options, error), 1) << error;
    EXPECT_EQ(options.command, CliCommand::report);
    EXPECT_EQ(options.output, "/srv/www");
    EXPECT_FALSE(options.fromArchive);
}

TEST(CliOptions, HelpAndVersionNeedNoCommand)
{
    CliOptions options;
    std::string error;
    ASSERT_EQ(parse({"--help"}, options, error), 1);
    EXPECT_EQ(options.command, CliCommand::help);
    ASSERT_EQ(parse({"run", "--version"}, options, error), 1);
    EXPECT_EQ(options.command, CliCommand::version);
}

} // namespace
