// The real program's exit codes, the same for every command: 2 for a wrong
// command line, 78 for a configuration it cannot use, 65 for an archive of
// a newer aerovane (and 75 for one another service writes: see
// archive_linuxtest), so that systemd and scripts can tell what a restart
// cures from what needs a person.
#include <string>
#include <vector>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include "app/exit_codes.h"
#include "tests/support/process_linux.h"

namespace {

using e2e::Process;
using e2e::TempDir;

class ExitCodes : public ::testing::Test {
protected:
    TempDir dir;
    std::string config = dir.path("aerovane.conf");
    std::string archive = dir.path("archive.sqlite");
    std::string err = dir.path("err");

    void SetUp() override { e2e::writeFile(config, ""); }

    int aerovane(const std::vector<std::string>& options, const std::string& configPath = "")
    {
        std::vector<std::string> args = {e2e::aerovaneBinary(), "--config=" + (configPath.empty() ? config : configPath),
                                         "--console=" + dir.path("no-console"), "--archive=" + archive};
        args.insert(args.end(), options.begin(), options.end());
        Process program(args, dir.path("out"), err);
        int code = -1;
        EXPECT_TRUE(program.waitExit(&code));
        return code;
    }
};

// Every command, as a person would start it.
const std::vector<std::vector<std::string>> COMMANDS = {
    {"run"},
    {"live"},
    {"report", "-o", "site"},
    {"export", "--whole-period", "-o", "x.xls"},
    {"export", "--from-archive", "--whole-period", "-o", "x.xls"},
};

TEST_F(ExitCodes, AWrongCommandLineIsAUsageError)
{
    for (const auto& command : COMMANDS) {
        std::vector<std::string> wrong = command;
        wrong.push_back("--no-such-option");
        SCOPED_TRACE(wrong[0]);
        EXPECT_EQ(aerovane(wrong), EXIT_USAGE);
        EXPECT_EQ(e2e::readFile(err), "aerovane: unknown option --no-such-option\n");
    }
    EXPECT_EQ(aerovane({"frobnicate"}), EXIT_USAGE);
    EXPECT_EQ(aerovane({}), EXIT_USAGE);
    // A day the calendar lacks is the command line's fault too.
    EXPECT_EQ(aerovane({"export", "--from=2026-02-30", "--to=2026-03-01", "-o", dir.path("x.xls")}), EXIT_USAGE);
}

TEST_F(ExitCodes, AConfigurationThatCannotBeUsedIsAConfigurationError)
{
    e2e::writeFile(config, "[units]\nwind = km/h\n[report]\nevery = often\n");
    for (const auto& command : COMMANDS) {
        SCOPED_TRACE(command[0]);
        EXPECT_EQ(aerovane(command), EXIT_CONFIG);
        EXPECT_EQ(e2e::readFile(err).rfind("aerovane: " + config + ":4: every is a number of minutes", 0), 0u)
            << e2e::readFile(err);
    }
    // One named on the command line that is not there.
    EXPECT_EQ(aerovane({"run"}, dir.path("missing.conf")), EXIT_CONFIG);
    EXPECT_EQ(e2e::readFile(err), "aerovane: cannot read " + dir.path("missing.conf") + ": No such file or directory\n");
    EXPECT_FALSE(e2e::fileExists(archive));
}

TEST_F(ExitCodes, AnArchiveOfANewerAerovaneNeedsAPerson)
{
    // What a later aerovane may leave: a schema version above this one's.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(archive.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA journal_mode=WAL; CREATE TABLE later (x); PRAGMA user_version=99;", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    EXPECT_EQ(aerovane({"run"}), EXIT_ARCHIVE_NEWER);
    EXPECT_NE(e2e::readFile(err).find("newer aerovane"), std::string::npos) << e2e::readFile(err);
    EXPECT_EQ(aerovane({"report", "-o", dir.path("site")}), EXIT_ARCHIVE_NEWER);
    EXPECT_EQ(aerovane({"export", "--from-archive", "--whole-period", "-o", dir.path("x.xls")}), EXIT_ARCHIVE_NEWER);
    // An archive of this schema that simply holds nothing yet is another
    // matter: an ordinary refusal.
    ASSERT_EQ(sqlite3_open(archive.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version=0;", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    EXPECT_EQ(aerovane({"report", "-o", dir.path("site")}), EXIT_REFUSED);
    EXPECT_NE(e2e::readFile(err).find("holds no observations yet"), std::string::npos) << e2e::readFile(err);
}

} // namespace
