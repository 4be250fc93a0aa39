// `aerovane run` delivering the archive to weather networks of its own
// making, end to end: the real service, the native simulator's history,
// and a loopback HTTPS server whose certificate a test authority signed.
// A network that takes the past gets every observation it missed once, in
// order, with its own time; one that takes current observations gets the
// newest and the log says what it missed; a kill in the middle of a
// catch-up resends at most the request in flight; a refusal stops the
// network until its configuration changes, while a conflict (an
// observation the service holds) does not; a limit is waited out; a server
// that never answers holds up no other network and no stop; after an
// outage of refused connections the networks pick up where they were.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "readings/record_time.h"
#include "readings/station_fields.h"
#include "tests/support/process_linux.h"
#include "tests/support/test_servers_linux.h"

namespace {

using e2e::Process;
using e2e::Simulator;
using e2e::TempDir;

constexpr int RECORDS = 120;

// "2026-12-08+01%3A30%3A00": the UTC time a PWSweather request carries for
// a record of the console's local time.
std::string dateutcOf(const StationRecord& record)
{
    StationFields fields;
    parseStationRecord(&record, fields);
    char iso[ISO_TIME_SIZE];
    std::int64_t minute = 0;
    EXPECT_TRUE(isoRecordTime(fields.text[StationFields::recordDate], fields.text[StationFields::recordTime], iso));
    EXPECT_TRUE(isoTimeMinutes(iso, minute));
    const CivilMinute civil = civilFromMinutes(minute);
    std::tm local{};
    local.tm_year = civil.year - 1900;
    local.tm_mon = civil.month - 1;
    local.tm_mday = civil.day;
    local.tm_hour = civil.hour;
    local.tm_min = civil.minute;
    local.tm_isdst = -1;
    const std::time_t at = std::mktime(&local);
    std::tm utc{};
    gmtime_r(&at, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%d+%H%%3A%M%%3A%S", &utc);
    return text;
}

// The value of `name` in a request line's query.
std::string queryValue(const std::string& line, const std::string& name)
{
    const std::size_t at = line.find("&" + name + "=");
    if (at == std::string::npos)
        return "";
    const std::size_t from = at + name.size() + 2;
    return line.substr(from, line.find_first_of("& ", from) - from);
}

std::vector<std::string> requestsTo(const e2e::HttpTestServer& server, const std::string& path)
{
    std::vector<std::string> lines;
    for (const e2e::LoggedRequest& request : server.requests())
        if (request.line.find(" " + path) != std::string::npos)
            lines.push_back(request.line);
    return lines;
}

// A UTC time as a request's query carries it: "2026-12-08+01%3A30%3A00"
// with the separator '+'.
std::string queryTime(std::time_t utcSecond, char separator)
{
    std::tm utc{};
    gmtime_r(&utcSecond, &utc);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d%c%02d%%3A%02d%%3A%02d", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, separator, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

// A whole-number member of one destination's object in `status --json`, or -1.
long statusNumber(const std::string& json, const std::string& destination, const std::string& member)
{
    const std::size_t object = json.find("{\"destination\":\"" + destination + "\"");
    const std::size_t at = json.find("\"" + member + "\":", object);
    if (object == std::string::npos || at == std::string::npos || at > json.find('}', object))
        return -1;
    return std::stol(json.substr(at + member.size() + 3));
}

std::size_t occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class Delivery : public ::testing::Test {
protected:
    TempDir dir;
    e2e::TestAuthority authority{dir};
    e2e::ServerCertificate certificate = authority.issue("server", "DNS:localhost,IP:127.0.0.1");
    std::string config = dir.path("aerovane.conf");
    std::string out = dir.path("out");
    std::string err = dir.path("err");
    Simulator simulator{dir,
                        {"--history=" + std::to_string(RECORDS), "--history-interval=5", "--live-interval=0",
                         "--upload-interval=0", "--clock-interval=0"}};

    void configure(const std::string& sections)
    {
        e2e::writeFile(config, "[clock]\nsync = never\n[tls]\nca-file = " + authority.file() + "\n" + sections);
    }

    // PWSweather alone, to `server`.
    void configurePwsweather(const e2e::HttpTestServer& server)
    {
        configure("[pwsweather]\nstation = KX1\nkey = k\nupload = on\nurl = " + server.url("/pwsupdate/pwsupdate.php")
                  + "\n");
    }

    Process* start()
    {
        return new Process({e2e::aerovaneBinary(), "--config=" + config, "--console=" + simulator.socket(),
                            "--archive=" + dir.path("archive.sqlite"), "run"},
                           out, err);
    }

    void stop(Process* service)
    {
        service->signal(SIGTERM);
        int code = -1;
        EXPECT_TRUE(service->waitExit(&code));
        EXPECT_EQ(code, 0) << e2e::readFile(err);
        delete service;
    }

    void configureWowAndPwsweather(const e2e::HttpTestServer& server)
    {
        configure("[wow]\nsite = 9f3a\nkey = 123456\nupload = on\nurl = " + server.url("/automaticreading")
                  + "\n[pwsweather]\nstation = KX1\nkey = k\nupload = on\nurl = "
                  + server.url("/pwsupdate/pwsupdate.php") + "\n");
    }

    bool waitForLog(const std::string& text, int timeoutMs = e2e::DEADLINE_MS)
    {
        return e2e::waitUntil([&] { return e2e::readFile(out).find(text) != std::string::npos; }, timeoutMs);
    }

    // The records of the console's first download, oldest first.
    // `aerovane status` with `options`, while no service runs or while one does.
    std::string runStatus(const std::vector<std::string>& options)
    {
        std::vector<std::string> args = {e2e::aerovaneBinary(), "--config=" + config,
                                         "--archive=" + dir.path("archive.sqlite"), "status"};
        args.insert(args.end(), options.begin(), options.end());
        Process status(args, dir.path("status.out"), dir.path("status.err"));
        int code = -1;
        EXPECT_TRUE(status.waitExit(&code));
        EXPECT_EQ(code, 0) << e2e::readFile(dir.path("status.err"));
        return e2e::readFile(dir.path("status.out"));
    }

    std::vector<std::string> expectedTimes()
    {
        std::vector<std::string> times;
        for (const StationRecord& record : e2e::sentHistory(simulator))
            if (times.size() < RECORDS)
                times.push_back(dateutcOf(record));
        return times;
    }
};

TEST_F(Delivery, ThePastReachesANetworkThatTakesItOnceInOrderAndACurrentOneGetsTheNewest)
{
    e2e::HttpTestServer server(dir, &certificate,
                               R"({"/pwsupdate/pwsupdate.php": {"status": 200, "body": "success"},)"
                               R"( "/api/v2/observation/update": {"status": 200, "body": "SUCCESS"}})");
    configure("[pwsweather]\nstation = KX&1\nkey = s3cret\nupload = on\nurl = "
              + server.url("/pwsupdate/pwsupdate.php") + "\n[windy]\nstation = w1\npassword = pw\nupload = on\nurl = "
              + server.url("/api/v2/observation/update") + "\n");
    Process* service = start();
    ASSERT_TRUE(e2e::waitUntil([&] { return requestsTo(server, "/pwsupdate/").size() >= RECORDS; }))
        << requestsTo(server, "/pwsupdate/").size() << "\n" << e2e::readFile(out) << e2e::readFile(err);
    ASSERT_TRUE(e2e::waitUntil([&] { return !requestsTo(server, "/api/v2/").empty(); })) << e2e::readFile(out);
    ASSERT_TRUE(e2e::waitUntil([&] { return e2e::readFile(out).find("PWSweather: caught up") != std::string::npos; }))
        << e2e::readFile(out);
    stop(service);

    // Every record the console sent, each once, oldest first, at its UTC time.
    std::vector<std::string> sent;
    for (const std::string& line : requestsTo(server, "/pwsupdate/")) {
        sent.push_back(queryValue(line, "dateutc"));
        EXPECT_NE(line.find("?ID=KX%261&PASSWORD=s3cret&"), std::string::npos) << line;
    }
    const std::vector<std::string> expected = expectedTimes();
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(RECORDS));
    // The console's live observation of its present minute may follow.
    ASSERT_GE(sent.size(), expected.size());
    EXPECT_LE(sent.size(), expected.size() + 1);
    EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + RECORDS), expected);
    // The current-only network: the newest only (the stretch it missed is
    // told when its mark is older than ten minutes: the schedule's tests).
    const std::vector<std::string> windy = requestsTo(server, "/api/v2/");
    ASSERT_EQ(windy.size(), 1u);
    const std::string newest = queryValue(windy[0], "time");
    EXPECT_EQ(newest.substr(0, 10), sent.back().substr(0, 10)) << newest;
    const std::string log = e2e::readFile(out);
    EXPECT_NE(log.find("PWSweather: catching up from "), std::string::npos) << log;
    EXPECT_EQ(log.find("s3cret"), std::string::npos) << "a key in the log";
}

TEST_F(Delivery, ACatchUpKeepsOneConnectionWhichIsLetGoOnceTheNetworkIsQuiet)
{
    e2e::HttpTestServer server(dir, &certificate, R"({"/pwsupdate/pwsupdate.php": {"status": 200, "body": "success"}})");
    configurePwsweather(server);
    Process* service = start();
    ASSERT_TRUE(e2e::waitUntil([&] { return e2e::readFile(out).find("PWSweather: caught up") != std::string::npos; }))
        << e2e::readFile(out) << e2e::readFile(err);
    const std::vector<e2e::LoggedRequest> requests = server.requests();
    ASSERT_GE(requests.size(), static_cast<std::size_t>(RECORDS));
    for (const e2e::LoggedRequest& request : requests)
        ASSERT_EQ(request.from, requests[0].from) << "a catch-up request on a connection of its own";
    // Nothing more to send: the service closes its connection (and frees
    // its TLS context) by itself, and runs on.
    EXPECT_TRUE(e2e::waitUntil([&] { return !server.endedConnections().empty(); }, 60000));
    EXPECT_EQ(server.endedConnections(), std::vector<std::string>{requests[0].from});
    EXPECT_TRUE(service->running());
    stop(service);
}

TEST_F(Delivery, AKillInTheMiddleOfACatchUpResendsAtMostTheRequestInFlight)
{
    // Slow answers: the catch-up takes seconds, and the kill lands in it.
    e2e::HttpTestServer server(dir, &certificate,
                               R"({"/pwsupdate/pwsupdate.php": {"status": 200, "body": "success", "delayMs": 30}})");
    configurePwsweather(server);
    Process* service = start();
    ASSERT_TRUE(e2e::waitUntil([&] { return requestsTo(server, "/pwsupdate/").size() >= RECORDS / 3; }))
        << e2e::readFile(out);
    service->signal(SIGKILL);
    int code = 0;
    ASSERT_TRUE(service->waitExit(&code));
    delete service;
    const std::size_t before = requestsTo(server, "/pwsupdate/").size();
    ASSERT_LT(before, static_cast<std::size_t>(RECORDS));

    service = start();
    ASSERT_TRUE(e2e::waitUntil([&] { return e2e::readFile(out).find("PWSweather: caught up") != std::string::npos; }))
        << e2e::readFile(out);
    stop(service);
    std::vector<std::string> sent;
    for (const std::string& line : requestsTo(server, "/pwsupdate/"))
        sent.push_back(queryValue(line, "dateutc"));
    const std::vector<std::string> expected = expectedTimes();
    // In order, every one, and one at most twice: the one in flight.
    std::vector<std::string> once = sent;
    once.erase(std::unique(once.begin(), once.end()), once.end());
    ASSERT_GE(once.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(once.begin(), once.begin() + RECORDS), expected);
    EXPECT_LE(once.size(), expected.size() + 2) << "the live observations of two starts at most";
    EXPECT_LE(sent.size(), once.size() + 1);
}

TEST_F(Delivery, ARefusalStopsItsNetworkUntilTheConfigurationChangesAndALimitIsWaitedOut)
{
    e2e::HttpTestServer server(dir, &certificate,
                               R"({"/automaticreading": {"status": 401, "body": "Invalid site or key"},)"
                               R"( "/data/3.0/measurements": {"status": 429, "body": "{\"message\": \"slow down\"}",)"
                               R"(   "headers": {"Retry-After": "1"}}})");
    const std::string wow = "[wow]\nsite = 9f3a\nkey = 123456\nupload = on\nurl = " + server.url("/automaticreading")
                          + "\n";
    const std::string owm = "[openweathermap]\nstation = st1\nkey = k1\nupload = on\nurl = "
                          + server.url("/data/3.0/measurements") + "\n";
    configure(wow + owm);
    Process* service = start();
    ASSERT_TRUE(e2e::waitUntil([&] { return e2e::readFile(out).find("OpenWeatherMap: asked to wait 1 s") != std::string::npos; }))
        << e2e::readFile(out);
    server.setRoutes(R"({"/automaticreading": {"status": 401, "body": "Invalid site or key"},)"
                     R"( "/data/3.0/measurements": {"status": 204, "body": ""}})");
    ASSERT_TRUE(e2e::waitUntil([&] { return e2e::readFile(out).find("OpenWeatherMap: caught up") != std::string::npos; }))
        << e2e::readFile(out) << e2e::readFile(server.log());
    const std::string log = e2e::readFile(out);
    EXPECT_NE(log.find("WOW: refused: HTTP 401: Invalid site or key; nothing more is sent until [wow]"),
              std::string::npos)
        << log;
    stop(service);
    EXPECT_EQ(requestsTo(server, "/automaticreading").size(), 1u);
    // The batch refused for the limit went again, whole: its bodies match.
    std::vector<std::string> bodies;
    for (const e2e::LoggedRequest& request : server.requests())
        if (request.line.find("/data/3.0/") != std::string::npos)
            bodies.push_back(request.body);
    ASSERT_GE(bodies.size(), 2u);
    EXPECT_EQ(bodies[0], bodies[1]);

    // `status` tells it, in words and in JSON.
    const std::string status = runStatus({});
    EXPECT_NE(status.find("wow: on; nothing accepted yet; refused at "), std::string::npos) << status;
    EXPECT_NE(status.find(": HTTP 401: Invalid site or key (stopped until the configuration changes)"),
              std::string::npos)
        << status;
    EXPECT_NE(status.find("openweathermap: on; last accepted the observation of "), std::string::npos) << status;
    EXPECT_NE(status.find(" 0 waiting"), std::string::npos) << status;
    EXPECT_NE(status.find("pwsweather: off; nothing accepted yet\n"), std::string::npos) << status;
    const std::string json = runStatus({"--json"});
    EXPECT_EQ(json.front(), '[');
    EXPECT_NE(json.find(R"({"destination":"wow","upload":true,"lastAccepted":"","acceptedAt":"",)"
                        R"("lastRefusal":"HTTP 401: Invalid site or key","refusedAt":"20)"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find(R"("stopped":true,"waiting":0,"failures":0)"), std::string::npos) << json;

    // Unchanged, the refused network stays quiet after a restart.
    service = start();
    ASSERT_TRUE(e2e::waitUntil([&] { return e2e::readFile(out).find("WOW: not sending: it refused this station") != std::string::npos; }))
        << e2e::readFile(out);
    stop(service);
    EXPECT_EQ(requestsTo(server, "/automaticreading").size(), 1u);
    // A new key is tried.
    server.setRoutes(R"({"/automaticreading": {"status": 200, "body": ""}})");
    configure("[wow]\nsite = 9f3a\nkey = 654321\nupload = on\nurl = " + server.url("/automaticreading") + "\n");
    service = start();
    ASSERT_TRUE(e2e::waitUntil([&] { return requestsTo(server, "/automaticreading").size() >= 2; })) << e2e::readFile(out);
    stop(service);
}

TEST_F(Delivery, CwopGetsTheNewestObservationAsOneWeatherReportAfterItsLogin)
{
    e2e::AprsTestServer server(dir);
    configure("[cwop]\ncallsign = N0CALL\npasscode = 13023\nlatitude = 49.0583\nlongitude = -72.0292\n"
              "server = 127.0.0.1:" + std::to_string(server.port()) + "\nupload = on\n");
    Process* service = start();
    ASSERT_TRUE(e2e::waitUntil([&] { return !server.connections().empty(); })) << e2e::readFile(out);
    stop(service);
    const std::vector<std::string> connections = server.connections();
    ASSERT_EQ(connections.size(), 1u) << "the newest only";
    const std::string& sent = connections[0];
    EXPECT_EQ(sent.rfind("user N0CALL pass 13023 vers aerovane 1.01\r\n", 0), 0u) << sent;
    const std::size_t packet = sent.find("N0CALL>APRS,TCPIP*:@");
    ASSERT_NE(packet, std::string::npos) << sent;
    EXPECT_NE(sent.find("z4903.50N/07201.75W_", packet), std::string::npos) << sent;
    EXPECT_EQ(sent.substr(sent.size() - 2), "\r\n");
    EXPECT_EQ(e2e::readFile(out).find("CWOP: not delivered"), std::string::npos) << e2e::readFile(out);
}

// Half a minute: the first attempt after a failure comes 30 s later.
TEST_F(Delivery, AServiceThatFailsIsTriedAgainLaterAndThenCaughtUpWithNothingLost)
{
    e2e::HttpTestServer server(dir, &certificate, R"({"/pwsupdate/pwsupdate.php": {"status": 503, "body": "busy"}})");
    configurePwsweather(server);
    Process* service = start();
    ASSERT_TRUE(e2e::waitUntil([&] { return e2e::readFile(out).find("PWSweather: not delivered: HTTP 503: busy; next attempt in 30 s") != std::string::npos; }))
        << e2e::readFile(out);
    // Meanwhile status tells the failure and what waits.
    const std::string status = runStatus({});
    // The console's records wait, and its live observation when it came.
    const std::string head = "\npwsweather: on; nothing accepted yet; ";
    const std::size_t row = status.find(head);
    ASSERT_NE(row, std::string::npos) << status;
    const long waiting = std::stol(status.substr(row + head.size()));
    EXPECT_TRUE(waiting == RECORDS || waiting == RECORDS + 1) << status;
    EXPECT_NE(status.find(" after 1 failed (HTTP 503: busy)"), std::string::npos) << status;
    server.setRoutes(R"({"/pwsupdate/pwsupdate.php": {"status": 200, "body": "success"}})");
    ASSERT_TRUE(e2e::waitUntil([&] { return e2e::readFile(out).find("PWSweather: caught up") != std::string::npos; },
                               60000))
        << e2e::readFile(out);
    stop(service);
    const std::string log = e2e::readFile(out);
    EXPECT_NE(log.find("PWSweather: delivered again after failing once"), std::string::npos) << log;
    std::vector<std::string> sent;
    for (const std::string& line : requestsTo(server, "/pwsupdate/"))
        sent.push_back(queryValue(line, "dateutc"));
    ASSERT_GE(sent.size(), static_cast<std::size_t>(RECORDS) + 1);
    // The one refused for the service's trouble went again; then each once.
    EXPECT_EQ(sent[0], sent[1]);
    const std::vector<std::string> expected = expectedTimes();
    EXPECT_EQ(std::vector<std::string>(sent.begin() + 1, sent.begin() + 1 + RECORDS), expected);
}

TEST_F(Delivery, AForbiddenStationStopsItsNetworkButAConflictIsAnObservationTheServiceHolds)
{
    // The records of each hour's quarter past are ones PWSweather says it
    // has (records come every five minutes, in UTC as in local time).
    const std::string quarterPast = "%3A15%3A00&";
    e2e::HttpTestServer server(dir, &certificate,
                               R"({"/automaticreading": {"status": 403, "body": "Forbidden: site not allowed"},)"
                               R"( "/pwsupdate/pwsupdate.php": {"status": 200, "body": "success",)"
                               R"(   "answers": [{"contains": ")" + quarterPast
                                   + R"(", "status": 409, "body": "ERROR: duplicate observation"}]}})");
    configureWowAndPwsweather(server);
    // Killed by its destructor when a check ends the test early.
    std::unique_ptr<Process> service(start());
    ASSERT_TRUE(waitForLog("PWSweather: caught up")) << e2e::readFile(out);
    ASSERT_TRUE(waitForLog("WOW: refused")) << e2e::readFile(out);
    stop(service.release());
    const std::string log = e2e::readFile(out);
    EXPECT_NE(log.find("WOW: refused: HTTP 403: Forbidden: site not allowed; nothing more is sent until [wow]"),
              std::string::npos)
        << log;
    EXPECT_EQ(requestsTo(server, "/automaticreading").size(), 1u);
    EXPECT_EQ(log.find("PWSweather: refused"), std::string::npos) << log;
    EXPECT_EQ(log.find("PWSweather: not delivered"), std::string::npos) << log;

    // Every record once, in order: one answered with a conflict is not sent again.
    std::vector<std::string> sent;
    std::size_t conflicts = 0;
    for (const std::string& line : requestsTo(server, "/pwsupdate/")) {
        sent.push_back(queryValue(line, "dateutc"));
        conflicts += line.find(quarterPast) != std::string::npos;
    }
    const std::vector<std::string> expected = expectedTimes();
    ASSERT_GE(sent.size(), expected.size());
    EXPECT_LE(sent.size(), expected.size() + 1);
    EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + RECORDS), expected);
    EXPECT_GE(conflicts, static_cast<std::size_t>(RECORDS / 12));

    const std::string json = runStatus({"--json"});
    EXPECT_EQ(statusNumber(json, "pwsweather", "waiting"), 0) << json;
    EXPECT_NE(json.find(R"({"destination":"pwsweather","upload":true,"lastAccepted":"20)"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("lastRefusal":"","refusedAt":"","stopped":false,"waiting":0,"failures":0)"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find(R"("lastRefusal":"HTTP 403: Forbidden: site not allowed","refusedAt":"20)"), std::string::npos)
        << json;
}

TEST_F(Delivery, AServerThatNeverAnswersHoldsUpNoOtherNetworkAndNoStop)
{
    // PWSweather's answers come slowly enough that WOW's request hangs
    // while its catch-up runs.
    e2e::HttpTestServer server(dir, &certificate,
                               R"({"/automaticreading": {"neverAnswer": true},)"
                               R"( "/pwsupdate/pwsupdate.php": {"status": 200, "body": "success", "delayMs": 20}})");
    configureWowAndPwsweather(server);
    std::unique_ptr<Process> service(start());
    ASSERT_TRUE(waitForLog("PWSweather: caught up")) << e2e::readFile(out);
    // WOW's request was out before PWSweather's last, and is unanswered
    // still: well inside the transport's 30 s.
    const std::vector<e2e::LoggedRequest> requests = server.requests();
    std::size_t wow = requests.size(), lastPws = 0, pws = 0;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        if (requests[i].line.find(" /automaticreading") != std::string::npos && wow == requests.size())
            wow = i;
        if (requests[i].line.find(" /pwsupdate/") != std::string::npos) {
            lastPws = i;
            ++pws;
        }
    }
    EXPECT_LT(wow, lastPws);
    EXPECT_GE(pws, static_cast<std::size_t>(RECORDS));
    EXPECT_EQ(requestsTo(server, "/automaticreading").size(), 1u);
    EXPECT_EQ(e2e::readFile(out).find("WOW: not delivered"), std::string::npos) << e2e::readFile(out);

    // SIGTERM cuts the hanging request short.
    service->signal(SIGTERM);
    int code = -1;
    EXPECT_TRUE(service->waitExit(&code, 10000)) << "still running 10 s after SIGTERM";
    EXPECT_EQ(code, 0) << e2e::readFile(err);
    EXPECT_EQ(e2e::readFile(out).find("WOW: not delivered"), std::string::npos) << e2e::readFile(out);
}

// Half a minute: the first attempt after a failure comes 30 s later.
TEST_F(Delivery, AfterAnOutageOfRefusedConnectionsThePastComesOnceInOrderAndACurrentNetworkGetsTheNewest)
{
    // Consoles whose clocks stand minutes before this machine's: each one
    // started brings the archive its live observation of that minute.
    simulator.stop();
    const std::time_t now = std::time(nullptr) / 60 * 60;
    auto consoleAt = [&](int minutesAgo) {
        const std::time_t at = now - minutesAgo * 60;
        std::tm local{};
        localtime_r(&at, &local);
        char clock[32];
        std::strftime(clock, sizeof clock, "%Y-%m-%dT%H:%M", &local);
        return std::make_unique<Simulator>(
            dir, std::vector<std::string>{"--history=20", "--history-interval=5", "--live-interval=200",
                                          "--upload-interval=0", "--clock-interval=0", std::string("--now=") + clock});
    };
    e2e::HttpTestServer server(dir, &certificate,
                               R"({"/pwsupdate/pwsupdate.php": {"status": 200, "body": "success"},)"
                               R"( "/api/v2/observation/update": {"status": 200, "body": "SUCCESS"}})");
    configure("[pwsweather]\nstation = KX1\nkey = k\nupload = on\nurl = " + server.url("/pwsupdate/pwsupdate.php")
              + "\n[windy]\nstation = w1\npassword = pw\nupload = on\nurl = " + server.url("/api/v2/observation/update")
              + "\n");
    auto status = [&](const std::string& destination, const std::string& member) {
        return statusNumber(runStatus({"--json"}), destination, member);
    };

    // Before: a console twenty minutes behind, its history all delivered.
    std::unique_ptr<Simulator> console = consoleAt(20);
    std::unique_ptr<Process> service(start());
    ASSERT_TRUE(waitForLog("PWSweather: caught up")) << e2e::readFile(out);
    console->stop();
    ASSERT_TRUE(e2e::waitUntil([&] { return status("pwsweather", "waiting") == 0; })) << runStatus({});
    const std::size_t before = requestsTo(server, "/pwsupdate/").size();
    EXPECT_TRUE(requestsTo(server, "/api/v2/").empty()) << "nothing current yet";

    // The outage: nothing listens on the port, and three observations come.
    server.stop();
    long waiting = 0;
    for (const int minutesAgo : {8, 4, 1}) {
        console = consoleAt(minutesAgo);
        ASSERT_TRUE(e2e::waitUntil([&] { return status("pwsweather", "waiting") == waiting + 1; }))
            << runStatus({}) << e2e::readFile(out);
        ++waiting;
        console->stop();
    }
    ASSERT_TRUE(waitForLog("Windy: not delivered: no answer")) << e2e::readFile(out);
    const std::string during = runStatus({"--json"});
    EXPECT_EQ(statusNumber(during, "pwsweather", "waiting"), 3) << during;
    EXPECT_GE(statusNumber(during, "pwsweather", "failures"), 1) << during;
    EXPECT_EQ(statusNumber(during, "windy", "waiting"), 1) << during;
    EXPECT_GE(statusNumber(during, "windy", "failures"), 1) << during;
    const std::string text = runStatus({});
    EXPECT_NE(text.find("; 3 waiting; next attempt at "), std::string::npos) << text;
    EXPECT_NE(text.find(" failed (no answer"), std::string::npos) << text;
    EXPECT_NE(e2e::readFile(out).find("PWSweather: not delivered: no answer"), std::string::npos) << e2e::readFile(out);

    // Back on the same port.
    server.listenAgain();
    ASSERT_TRUE(e2e::waitUntil([&] { return requestsTo(server, "/pwsupdate/").size() >= before + 3
                                            && !requestsTo(server, "/api/v2/").empty(); }, 120000))
        << e2e::readFile(out);
    ASSERT_TRUE(e2e::waitUntil([&] { return status("pwsweather", "failures") == 0 && status("windy", "failures") == 0; }))
        << runStatus({});
    const std::string after = runStatus({"--json"});
    stop(service.release());

    const std::vector<std::string> pws = requestsTo(server, "/pwsupdate/");
    std::vector<std::string> sent;
    for (std::size_t i = before; i < pws.size(); ++i)
        sent.push_back(queryValue(pws[i], "dateutc"));
    EXPECT_EQ(sent, (std::vector<std::string>{queryTime(now - 8 * 60, '+'), queryTime(now - 4 * 60, '+'),
                                              queryTime(now - 60, '+')}));
    const std::vector<std::string> windy = requestsTo(server, "/api/v2/");
    ASSERT_EQ(windy.size(), 1u);
    EXPECT_EQ(queryValue(windy[0], "time"), queryTime(now - 60, 'T') + "Z") << windy[0];
    const std::string log = e2e::readFile(out);
    EXPECT_EQ(occurrences(log, "Windy: 2 observations from "), 1u) << log;
    EXPECT_NE(log.find(" not sent: the service takes current observations only"), std::string::npos) << log;
    EXPECT_NE(log.find("PWSweather: delivered again after failing"), std::string::npos) << log;
    EXPECT_EQ(statusNumber(after, "pwsweather", "waiting"), 0) << after;
    EXPECT_EQ(statusNumber(after, "windy", "waiting"), 0) << after;
    EXPECT_NE(after.find(R"("failures":0,"lastFailure":"","nextAttempt":"")"), std::string::npos) << after;
}

} // namespace
