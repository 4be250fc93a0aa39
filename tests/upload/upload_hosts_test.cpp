// The upload hosts and their command-line options.
#include "upload/upload_hosts.h"

#include <string>

#include <gtest/gtest.h>

namespace {

class UploadHostOptions : public ::testing::Test {
protected:
    void SetUp() override
    {
        hosts[0] = DEFAULT_UPLOAD_HOSTS[0];
        hosts[1] = DEFAULT_UPLOAD_HOSTS[1];
    }

    bool unchanged() const
    {
        return std::string(hosts[0].name) == DEFAULT_UPLOAD_HOSTS[0].name && hosts[0].port == 80 &&
               std::string(hosts[1].name) == DEFAULT_UPLOAD_HOSTS[1].name && hosts[1].port == 80;
    }

    UploadHost hosts[UPLOAD_SERVICE_COUNT];
};

TEST_F(UploadHostOptions, EachOptionSetsItsOwnService)
{
    EXPECT_EQ(applyUploadHostArgument(L"--wu-host=127.0.0.1:8080", hosts), 1);
    EXPECT_STREQ(hosts[SERVICE_WEATHER_UNDERGROUND].name, "127.0.0.1");
    EXPECT_EQ(hosts[SERVICE_WEATHER_UNDERGROUND].port, 8080);
    EXPECT_STREQ(hosts[SERVICE_WEATHERCLOUD].name, "api.weathercloud.net");

    EXPECT_EQ(applyUploadHostArgument(L"--wc-host=localhost", hosts), 1);
    EXPECT_STREQ(hosts[SERVICE_WEATHERCLOUD].name, "localhost");
    EXPECT_EQ(hosts[SERVICE_WEATHERCLOUD].port, 80);
    EXPECT_EQ(applyUploadHostArgument(L"--wc-host=a:65535", hosts), 1);
    EXPECT_EQ(hosts[SERVICE_WEATHERCLOUD].port, 65535);
}

TEST_F(UploadHostOptions, OtherArgumentsAreNotTaken)
{
    for (const wchar_t* argument : {L"--console=\\\\.\\pipe\\x", L"--wu-hostx=1", L"wu-host=127.0.0.1", L""}) {
        EXPECT_EQ(applyUploadHostArgument(argument, hosts), 0);
    }
    EXPECT_EQ(applyUploadHostArgument(nullptr, hosts), 0);
    EXPECT_TRUE(unchanged());
}

// A name that cannot be kept whole is refused, so requests keep going
// where they went.
TEST_F(UploadHostOptions, MalformedValuesLeaveTheHostsAlone)
{
    const std::wstring longest(127, L'h');
    const wchar_t* bad[] = {L"--wu-host=",           L"--wu-host=:80",          L"--wu-host=h:",
                            L"--wu-host=h:0",        L"--wu-host=h:65536",      L"--wu-host=h:8o",
                            L"--wu-host=h:99999999999", L"--wu-host=a b",       L"--wu-host=h/x",
                            L"--wc-host=h\u00e9",    L"--wc-host=h:80:81"};
    for (const wchar_t* argument : bad) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(argument)));
        EXPECT_EQ(applyUploadHostArgument(argument, hosts), -1);
    }
    EXPECT_EQ(applyUploadHostArgument((L"--wu-host=" + longest + L"h").c_str(), hosts), -1);
    EXPECT_TRUE(unchanged());
    EXPECT_EQ(applyUploadHostArgument((L"--wu-host=" + longest).c_str(), hosts), 1);
    EXPECT_EQ(std::string(hosts[0].name), std::string(127, 'h'));
}

} // namespace
