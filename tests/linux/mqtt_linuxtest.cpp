// `aerovane run` publishing to MQTT end to end: the real service against
// the native simulator and Debian's mosquitto broker on loopback, read by
// mosquitto_sub. Each state is the object `live --json` prints for the same
// observation; the broker holds "online" while the service runs and
// "offline" after a clean stop or, through the will, a crash; a broker that
// goes away is told once each way and waits for nothing else the service
// does; logins and TLS are checked against a broker that wants them.
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dashboard/live_json.h"
#include "readings/local_zone_linux.h"
#include "readings/station_fields.h"
#include "resources/resource_ids.h"
#include "tests/support/mqtt_broker_linux.h"
#include "tests/support/configured_units.h"
#include "tests/support/process_linux.h"
#include "tests/support/test_servers_linux.h"
#include "upload/home_assistant_discovery.h"
#include "upload/mqtt_device_id_linux.h"

namespace {

using e2e::MqttBroker;
using e2e::MqttSubscriber;
using e2e::Process;
using e2e::Simulator;
using e2e::TempDir;

const UnitSettings CONFIGURED = CONFIGURED_UNITS;
const char* const UNITS = CONFIGURED_UNITS_SECTION;
const char* const QUIET = "--upload-interval=0";

std::string mqttSection(const MqttBroker& broker, const std::string& more = "")
{
    return "[mqtt]\nhost = 127.0.0.1\nport = " + std::to_string(broker.port()) + "\n" + more;
}

std::size_t count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// The objects `live --json` prints for what the simulator sent, in order.
std::vector<std::string> liveJsonOfSent(const Simulator& simulator)
{
    std::vector<std::string> objects;
    for (const std::string& line : e2e::linesStartingWith(simulator.log(), "live ok ")) {
        const std::string text = line.substr(8);
        StationFields fields{};
        parseStationRecord(text.c_str(), text.size() + 1, fields);
        objects.push_back(observationJsonLine(fields, CONFIGURED, localUtcOffset));
    }
    return objects;
}

class MqttPublishing : public ::testing::Test {
protected:
    TempDir dir;
    std::string config = dir.path("aerovane.conf");
    std::string out = dir.path("out");
    std::string err = dir.path("err");

    void SetUp() override
    {
        // The service and this test read the same zone's rules.
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }

    std::unique_ptr<Process> start(const Simulator& simulator)
    {
        return std::make_unique<Process>(std::vector<std::string>{e2e::aerovaneBinary(), "--config=" + config,
                                                                  "--console=" + simulator.socket(),
                                                                  "--archive=" + dir.path("archive.sqlite"), "run"},
                                         out, err);
    }

    void stop(Process& service)
    {
        service.signal(SIGTERM);
        int code = -1;
        EXPECT_TRUE(service.waitExit(&code));
        EXPECT_EQ(code, 0) << e2e::readFile(err);
    }

    bool logged(const std::string& text) const { return e2e::readFile(out).find(text) != std::string::npos; }
};

TEST_F(MqttPublishing, EachStateIsTheLiveJsonObjectAndTheStatusFollowsTheService)
{
    MqttBroker broker(dir);
    e2e::writeFile(config, UNITS + mqttSection(broker));
    Simulator simulator(dir, {"--live-interval=200", QUIET, "--seed=61", "--invalid-rate=200"});
    MqttSubscriber subscriber(dir, broker, "aerovane/#");
    std::unique_ptr<Process> service = start(simulator);
    ASSERT_TRUE(subscriber.waitFor("aerovane/status", "online")) << e2e::readFile(out) << e2e::readFile(err);
    ASSERT_TRUE(subscriber.waitForCount("aerovane/state", 5)) << e2e::readFile(out);
    stop(*service);
    EXPECT_TRUE(subscriber.waitFor("aerovane/status", "offline"));

    // Every state is the object of an observation sent, in the order sent.
    const std::vector<std::string> sent = liveJsonOfSent(simulator);
    std::size_t next = 0;
    for (const std::string& state : subscriber.payloads("aerovane/state")) {
        while (next < sent.size() && sent[next] != state)
            ++next;
        EXPECT_LT(next, sent.size()) << state;
        ++next;
    }
    EXPECT_EQ(count(e2e::readFile(out), "MQTT: connected to the broker at 127.0.0.1:" + std::to_string(broker.port())
                                            + "\n"),
              1u)
        << e2e::readFile(out);

    // A subscriber that comes later has the broker's copies: offline, and
    // the newest state.
    MqttSubscriber later(dir, broker, "aerovane/#", {"-F", "%r %t %p"}, "later");
    ASSERT_TRUE(e2e::waitUntil([&] { return later.messages().size() >= 2; }));
    // In the broker's order, which is not the order they were published.
    const std::vector<std::string> kept = later.messages();
    const std::string newest = "1 aerovane/state " + subscriber.payloads("aerovane/state").back();
    EXPECT_TRUE((kept[0] == "1 aerovane/status offline" && kept[1] == newest)
                || (kept[1] == "1 aerovane/status offline" && kept[0] == newest))
        << kept[0] << "\n" << kept[1];
}

TEST_F(MqttPublishing, WithoutRetainTheBrokerKeepsNoStateAndTheTopicIsTheConfigured)
{
    MqttBroker broker(dir);
    e2e::writeFile(config, UNITS + mqttSection(broker, "retain = off\ntopic = home/weather/station\n"));
    Simulator simulator(dir, {"--live-interval=200", QUIET, "--seed=62"});
    MqttSubscriber subscriber(dir, broker, "home/weather/station/#");
    std::unique_ptr<Process> service = start(simulator);
    ASSERT_TRUE(subscriber.waitForCount("home/weather/station/state", 2)) << e2e::readFile(out);
    // Each line: the retain flag, the topic, the payload.
    MqttSubscriber later(dir, broker, "home/weather/station/#", {"-F", "%r %t %p"}, "later");
    ASSERT_TRUE(e2e::waitUntil([&] {
        return later.messages().size() >= 3;
    }));
    stop(*service);
    const std::vector<std::string> lines = later.messages();
    EXPECT_EQ(lines[0], "1 home/weather/station/status online");
    std::size_t states = 0;
    for (const std::string& line : lines)
        if (line.find(" home/weather/station/state ") != std::string::npos) {
            EXPECT_EQ(line.rfind("0 home/weather/station/state {", 0), 0u) << line;
            ++states;
        }
    EXPECT_GE(states, 2u);
}

// The device Home Assistant knows stays one device: the same id after a
// restart with other topics and units, and the message comes again when
// Home Assistant says it is back.
TEST_F(MqttPublishing, DiscoveryComesAtEachConnectionAndWhenHomeAssistantIsBack)
{
    const std::string id = stationDeviceId();
    ASSERT_EQ(id.size(), 16u);
    EXPECT_EQ(e2e::readFile("/etc/machine-id").find(id), std::string::npos) << "the machine's own id is published";
    MqttBroker broker(dir);
    Simulator simulator(dir, {"--live-interval=500", QUIET, "--seed=66"});
    const DiscoveryDevice device{id, "aerovane", "homeassistant", AEROVANE_VERSION_TEXT, 300};
    const std::string topic = "homeassistant/device/aerovane_" + id + "/config";
    ASSERT_EQ(discoveryTopic(device), topic);
    {
        e2e::writeFile(config, UNITS + mqttSection(broker));
        MqttSubscriber subscriber(dir, broker, "homeassistant/#", {"-t", "aerovane/state"});
        std::unique_ptr<Process> service = start(simulator);
        ASSERT_TRUE(subscriber.waitForCount(topic, 1)) << e2e::readFile(out);
        EXPECT_EQ(subscriber.payloads(topic)[0], discoveryPayload(device, CONFIGURED));
        // A state follows the service's subscription on the same connection:
        // once one is here, Home Assistant's word reaches the service.
        ASSERT_TRUE(subscriber.waitForCount("aerovane/state", 1));
        e2e::publishToBroker(dir, broker, "homeassistant/status", "offline");
        e2e::publishToBroker(dir, broker, "homeassistant/status", "online");
        ASSERT_TRUE(subscriber.waitForCount(topic, 2)) << e2e::readFile(out);
        EXPECT_EQ(subscriber.payloads(topic)[1], subscriber.payloads(topic)[0]);
        stop(*service);
    }
    // Another topic, another prefix, the built-in units: the same device.
    e2e::writeFile(config, mqttSection(broker, "topic = weather/garden\ndiscovery-prefix = ha\n"));
    MqttSubscriber subscriber(dir, broker, "ha/#", {}, "again");
    std::unique_ptr<Process> service = start(simulator);
    const DiscoveryDevice moved{id, "weather/garden", "ha", AEROVANE_VERSION_TEXT, 300};
    const std::string movedTopic = "ha/device/aerovane_" + id + "/config";
    ASSERT_TRUE(subscriber.waitForCount(movedTopic, 1)) << e2e::readFile(out);
    EXPECT_EQ(subscriber.payloads(movedTopic)[0], discoveryPayload(moved, DEFAULT_UNIT_SETTINGS));
    stop(*service);

    // Off: nothing under the prefix.
    e2e::writeFile(config, UNITS + mqttSection(broker, "discovery = off\n"));
    MqttSubscriber none(dir, broker, "#", {"-F", "%r %t"}, "none");
    service = start(simulator);
    ASSERT_TRUE(e2e::waitUntil([&] {
        const std::vector<std::string> lines = none.messages();
        return std::find(lines.begin(), lines.end(), "0 aerovane/state") != lines.end();
    }));
    stop(*service);
    for (const std::string& line : none.messages())
        EXPECT_TRUE(line.rfind("0 homeassistant/", 0) != 0 && line.rfind("0 ha/", 0) != 0) << line;
}

TEST_F(MqttPublishing, AKilledServiceIsOfflineThroughTheWill)
{
    MqttBroker broker(dir);
    e2e::writeFile(config, UNITS + mqttSection(broker));
    Simulator simulator(dir, {"--live-interval=500", QUIET});
    MqttSubscriber subscriber(dir, broker, "aerovane/status");
    std::unique_ptr<Process> service = start(simulator);
    ASSERT_TRUE(subscriber.waitFor("aerovane/status", "online")) << e2e::readFile(out);
    service->signal(SIGKILL);
    int code = -1;
    ASSERT_TRUE(service->waitExit(&code));
    ASSERT_TRUE(subscriber.waitFor("aerovane/status", "offline"));
    EXPECT_EQ(subscriber.payloads("aerovane/status"), (std::vector<std::string>{"online", "offline"}));
}

// The broker away at the start and again later: the archive's download is
// merged meanwhile, each stretch is told once, and the states come again.
TEST_F(MqttPublishing, ABrokerAwayIsToldOnceEachWayAndHoldsNothingUp)
{
    MqttBroker broker(dir);
    broker.stop();
    e2e::writeFile(config, UNITS + mqttSection(broker));
    Simulator simulator(dir, {"--history=300", "--history-interval=5", "--live-interval=200", QUIET, "--seed=63"});
    std::unique_ptr<Process> service = start(simulator);
    const std::string where = "127.0.0.1:" + std::to_string(broker.port());
    ASSERT_TRUE(e2e::waitUntil([&] { return logged("MQTT: cannot reach the broker at " + where); }))
        << e2e::readFile(out);
    ASSERT_TRUE(e2e::waitUntil([&] { return logged("archive: merged 300 records: 300 new"); })) << e2e::readFile(out);
    EXPECT_FALSE(logged("MQTT: connected"));

    broker.start();
    MqttSubscriber first(dir, broker, "aerovane/#", {}, "first");
    ASSERT_TRUE(first.waitForCount("aerovane/state", 2)) << e2e::readFile(out);
    EXPECT_TRUE(logged("MQTT: connected to the broker at " + where + "\n"));

    broker.stop();
    ASSERT_TRUE(e2e::waitUntil([&] { return logged("MQTT: lost the broker at " + where); })) << e2e::readFile(out);
    // The live observations still reach the archive's thread meanwhile, and
    // the service answers systemd's stop at once afterwards.
    const std::size_t sentBefore = e2e::linesStartingWith(simulator.log(), "live ok ").size();
    ASSERT_TRUE(e2e::waitUntil([&] { return e2e::linesStartingWith(simulator.log(), "live ok ").size() > sentBefore + 10; }));
    broker.start();
    ASSERT_TRUE(e2e::waitUntil([&] { return count(e2e::readFile(out), " again\n") == 1; })) << e2e::readFile(out);
    // What waited for the broker was the newest state alone, not the ten
    // and more that came meanwhile (a few more may follow at once).
    const std::string session = e2e::readFile(broker.log()).substr(e2e::readFile(broker.log()).rfind(" running"));
    EXPECT_LE(count(session, "'aerovane/state'"), 4u) << session;
    MqttSubscriber second(dir, broker, "aerovane/#", {}, "second");
    ASSERT_TRUE(second.waitFor("aerovane/status", "online")) << e2e::readFile(out);
    ASSERT_TRUE(second.waitForCount("aerovane/state", 2)) << e2e::readFile(out);
    stop(*service);

    const std::string log = e2e::readFile(out);
    EXPECT_EQ(count(log, "MQTT: cannot reach the broker"), 1u) << log;
    EXPECT_EQ(count(log, "MQTT: lost the broker"), 1u) << log;
    EXPECT_EQ(count(log, "MQTT: connected to the broker at " + where + "\n"), 1u) << log;
    EXPECT_EQ(count(log, "MQTT: connected to the broker at " + where + " again\n"), 1u) << log;
}

TEST_F(MqttPublishing, ALoginIsGivenAndAWrongOneIsToldOnceAndTriedAgainLater)
{
    const e2e::BrokerLogin login{"station", "s3cret pass"};
    MqttBroker broker(dir, &login);
    Simulator simulator(dir, {"--live-interval=200", QUIET, "--seed=64"});
    const std::vector<std::string> subscriberLogin = {"-u", login.user, "-P", login.password};
    {
        e2e::writeFile(config, UNITS + mqttSection(broker, "user = station\npassword = s3cret pass\n"));
        MqttSubscriber subscriber(dir, broker, "aerovane/#", subscriberLogin);
        std::unique_ptr<Process> service = start(simulator);
        ASSERT_TRUE(subscriber.waitForCount("aerovane/state", 2)) << e2e::readFile(out);
        stop(*service);
    }
    e2e::writeFile(config, UNITS + mqttSection(broker, "user = station\npassword = wrong-one\n"));
    e2e::writeFile(out, "");
    std::unique_ptr<Process> service = start(simulator);
    const int before = broker.connectionsSeen();
    // Refused, then tried again after 2 s and 4 s: three attempts, one line.
    ASSERT_TRUE(e2e::waitUntil([&] { return broker.connectionsSeen() >= before + 3; })) << e2e::readFile(out);
    EXPECT_TRUE(service->running());
    const std::string log = e2e::readFile(out);
    EXPECT_EQ(count(log, "MQTT: cannot reach the broker at"), 1u) << log;
    EXPECT_NE(log.find("not authorised"), std::string::npos) << log;
    EXPECT_EQ(log.find("wrong-one"), std::string::npos) << log;
    stop(*service);
}

TEST_F(MqttPublishing, TlsChecksTheBrokersCertificateAgainstTheAuthority)
{
    e2e::TestAuthority authority(dir);
    const e2e::ServerCertificate certificate = authority.issue("broker", "DNS:localhost,IP:127.0.0.1");
    MqttBroker broker(dir, nullptr, &certificate);
    Simulator simulator(dir, {"--live-interval=200", QUIET, "--seed=65"});
    const std::vector<std::string> overTls = {"--cafile", authority.file()};
    {
        e2e::writeFile(config, UNITS + mqttSection(broker, "tls = on\n") + "[tls]\nca-file = " + authority.file() + "\n");
        MqttSubscriber subscriber(dir, broker, "aerovane/#", overTls);
        std::unique_ptr<Process> service = start(simulator);
        ASSERT_TRUE(subscriber.waitForCount("aerovane/state", 2)) << e2e::readFile(out);
        stop(*service);
    }
    // Without the authority the certificate is not trusted: nothing goes.
    e2e::writeFile(config, UNITS + mqttSection(broker, "tls = on\n"));
    e2e::writeFile(out, "");
    std::unique_ptr<Process> service = start(simulator);
    ASSERT_TRUE(e2e::waitUntil([&] { return logged("MQTT: cannot reach the broker at"); })) << e2e::readFile(out);
    EXPECT_TRUE(service->running());
    stop(*service);

    // An authority's file that cannot be read: told, and the service goes
    // on without MQTT.
    e2e::writeFile(config, UNITS + mqttSection(broker, "tls = on\n") + "[tls]\nca-file = " + dir.path("gone.pem") + "\n");
    e2e::writeFile(out, "");
    service = start(simulator);
    ASSERT_TRUE(e2e::waitUntil([&] { return logged("MQTT: TLS cannot be set up with the authority"); }))
        << e2e::readFile(out);
    ASSERT_TRUE(e2e::waitUntil([&] { return logged("archive: downloading"); })) << e2e::readFile(out);
    stop(*service);
}

} // namespace
