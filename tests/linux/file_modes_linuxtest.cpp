// Who may read what the service writes, under the service's UMask=0027:
// the archive only its owner and group (it is the whole history, and the
// configuration beside it holds the keys); the report page everyone, so a
// web server that is not in group aerovane can serve it, through the
// archive's folder, which others may pass through but not list.
#include <csignal>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/process_linux.h"

namespace {

using e2e::Process;
using e2e::Simulator;
using e2e::TempDir;

constexpr uid_t NOBODY = 65534;

unsigned modeOf(const std::string& path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0xFFFFu;
}

// What a user in none of the service's groups manages: 1 for each success,
// one bit each for reading the page, opening the archive, listing the
// archive's folder.
int asAnotherUser(const std::string& page, const std::string& archive, const std::string& folder)
{
    const pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(NOBODY) != 0 || setuid(NOBODY) != 0)
            _exit(255);
        int done = 0;
        int fd = open(page.c_str(), O_RDONLY);
        if (fd >= 0) {
            char byte = 0;
            done |= read(fd, &byte, 1) == 1 ? 1 : 0;
            close(fd);
        }
        fd = open(archive.c_str(), O_RDONLY);
        done |= fd >= 0 ? 2 : 0;
        if (DIR* listing = opendir(folder.c_str())) {
            done |= 4;
            closedir(listing);
        }
        _exit(done);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class FileModes : public ::testing::Test {
protected:
    TempDir dir;
    std::string config = dir.path("aerovane.conf");
    std::string state = dir.path("state"); // as /var/lib/aerovane
    std::string archive = state + "/archive.sqlite";
    std::string report = state + "/report";
    mode_t umaskBefore = 0;

    void SetUp() override
    {
        // The test's own folder lets others pass, as /var/lib does.
        chmod(dir.path("").c_str(), 0711);
        e2e::writeFile(config, "[report]\nfolder = " + report + "\n");
        umaskBefore = umask(0027); // the unit's UMask=
    }
    void TearDown() override { umask(umaskBefore); }
};

TEST_F(FileModes, TheReportIsEveryonesTheArchiveOnlyItsGroups)
{
    Simulator simulator(dir, {"--history=20", "--upload-interval=0"});
    Process service({e2e::aerovaneBinary(), "--config=" + config, "--console=" + simulator.socket(),
                     "--archive=" + archive, "run"},
                    dir.path("out"), dir.path("err"));
    ASSERT_TRUE(e2e::waitUntil([&] {
        return e2e::readFile(dir.path("out")).find("archive: merged 20 records") != std::string::npos
            && e2e::fileExists(report + "/index.html");
    })) << e2e::readFile(dir.path("out")) << e2e::readFile(dir.path("err"));

    // While the service has it open, with its write-ahead log beside it.
    EXPECT_EQ(modeOf(state), 0711u);
    EXPECT_EQ(modeOf(archive), 0640u);
    EXPECT_EQ(modeOf(archive + "-wal") & 0007u, 0u);
    EXPECT_EQ(modeOf(report), 0755u);
    EXPECT_EQ(modeOf(report + "/index.html"), 0644u);
    if (geteuid() == 0) {
        EXPECT_EQ(asAnotherUser(report + "/index.html", archive, state), 1);
    }

    service.signal(SIGTERM);
    int code = -1;
    ASSERT_TRUE(service.waitExit(&code));
    EXPECT_EQ(code, 0);

    // The command makes a folder of its own the same way.
    Process command({e2e::aerovaneBinary(), "--config=" + config, "--archive=" + archive, "report", "-o",
                     dir.path("www/weather")},
                    dir.path("out"), dir.path("err"));
    ASSERT_TRUE(command.waitExit(&code));
    ASSERT_EQ(code, 0) << e2e::readFile(dir.path("err"));
    EXPECT_EQ(modeOf(dir.path("www")), 0755u);
    EXPECT_EQ(modeOf(dir.path("www/weather")), 0755u);
    EXPECT_EQ(modeOf(dir.path("www/weather/index.html")), 0644u);
}

} // namespace
