#include "upload/mqtt_client_linux.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include <mosquitto.h>

#include "app/service_log_linux.h"

namespace {

constexpr int KEEPALIVE_SECONDS = 60;
constexpr int LOOP_TIMEOUT_MS = 1000;
constexpr int FIRST_RETRY_SECONDS = 2;
constexpr int LAST_RETRY_SECONDS = 60;
// States handed to the library and not yet acknowledged: beyond these only
// the newest waits here.
constexpr int STATES_IN_FLIGHT = 8;
constexpr auto OFFLINE_WAIT = std::chrono::seconds(2);
const char* const SYSTEM_AUTHORITIES = "/etc/ssl/certs";

std::once_flag libraryReady;

} // namespace

struct MqttClient::State {
    mosquitto* client = nullptr;
    MqttConfig config;
    MqttDiscovery discovery;
    std::string where;        // "HOST:PORT", for the log
    std::string stateTopic;
    std::string statusTopic;
    std::string hubStatusTopic;
    std::thread thread;

    // Held while anything is handed to the library, so states reach it in
    // the order they came; the callbacks take `lock` only.
    std::mutex sendLock;
    std::mutex lock;
    std::condition_variable changed;
    bool connected = false;
    bool everConnected = false;
    bool lossTold = false;
    bool stopping = false;      // no more states; no more attempts
    std::atomic<bool> ended{false};
    int inFlight = 0;
    std::string pending;        // the newest state not yet handed over
    std::string refusal;        // the broker's word on the last refused connection
    int offlineMid = -1;
    bool offlineAcknowledged = false;

    void run();
    void sendPending();
    void publishDiscovery();
    void tellLoss(int rc, int savedErrno);
};

namespace {

void onConnect(mosquitto* client, void* context, int rc)
{
    auto& state = *static_cast<MqttClient::State*>(context);
    if (rc != 0) {
        std::lock_guard<std::mutex> guard(state.lock);
        state.refusal = mosquitto_connack_string(rc);
        return;
    }
    mosquitto_publish(client, nullptr, state.statusTopic.c_str(), 6, "online", 1, true);
    state.publishDiscovery();
    mosquitto_subscribe(client, nullptr, state.hubStatusTopic.c_str(), 1);
    bool tell = false;
    bool again = false;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        tell = !state.everConnected || state.lossTold;
        again = state.everConnected;
        state.connected = true;
        state.everConnected = true;
        state.lossTold = false;
        state.refusal.clear();
        // What was in flight when the broker went is sent again by the
        // library; the count starts afresh.
        state.inFlight = 0;
    }
    if (tell)
        printServiceLog("MQTT: connected to the broker at " + state.where + (again ? " again" : ""));
    state.sendPending();
}

void onDisconnect(mosquitto*, void* context, int)
{
    auto& state = *static_cast<MqttClient::State*>(context);
    std::lock_guard<std::mutex> guard(state.lock);
    state.connected = false;
    state.changed.notify_all();
}

void onPublish(mosquitto*, void* context, int mid)
{
    auto& state = *static_cast<MqttClient::State*>(context);
    {
        std::lock_guard<std::mutex> guard(state.lock);
        if (mid == state.offlineMid) {
            state.offlineAcknowledged = true;
            state.changed.notify_all();
            return;
        }
        state.inFlight = std::max(0, state.inFlight - 1);
    }
    state.sendPending();
}

void onMessage(mosquitto*, void* context, const mosquitto_message* message)
{
    auto& state = *static_cast<MqttClient::State*>(context);
    if (message->topic && state.hubStatusTopic == message->topic && message->payloadlen == 6
        && std::memcmp(message->payload, "online", 6) == 0)
        state.publishDiscovery();
}

std::string reasonOf(int rc, int savedErrno)
{
    if (rc == MOSQ_ERR_ERRNO)
        return std::strerror(savedErrno);
    return mosquitto_strerror(rc);
}

} // namespace

void MqttClient::State::publishDiscovery()
{
    if (discovery.topic.empty())
        return;
    mosquitto_publish(client, nullptr, discovery.topic.c_str(), static_cast<int>(discovery.payload.size()),
                      discovery.payload.data(), 1, true);
}

void MqttClient::State::sendPending()
{
    std::lock_guard<std::mutex> order(sendLock);
    std::string json;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!connected || stopping || pending.empty() || inFlight >= STATES_IN_FLIGHT)
            return;
        json.swap(pending);
        ++inFlight;
    }
    if (mosquitto_publish(client, nullptr, stateTopic.c_str(), static_cast<int>(json.size()), json.data(), 1,
                          config.retain)
        != MOSQ_ERR_SUCCESS) {
        std::lock_guard<std::mutex> guard(lock);
        --inFlight;
        if (pending.empty())
            pending.swap(json);
    }
}

// Told once per stretch without the broker, with why the first attempt
// failed.
void MqttClient::State::tellLoss(int rc, int savedErrno)
{
    std::string line;
    {
        std::lock_guard<std::mutex> guard(lock);
        connected = false;
        if (lossTold || stopping)
            return;
        lossTold = true;
        const std::string why = refusal.empty() ? reasonOf(rc, savedErrno) : refusal;
        line = std::string(everConnected ? "MQTT: lost the broker at " : "MQTT: cannot reach the broker at ") + where
             + " (" + why + "); trying again every " + std::to_string(FIRST_RETRY_SECONDS) + " s, growing to "
             + std::to_string(LAST_RETRY_SECONDS) + " s";
    }
    printServiceLog(LogLevel::warning, line);
}

// The library's own reconnecting loop ends for good on a TLS failure or a
// name that does not resolve yet (a Pi at boot): this one tries again
// after every failure, waiting longer each time.
void MqttClient::State::run()
{
    int delay = FIRST_RETRY_SECONDS;
    bool first = true;
    while (!ended) {
        int rc = first ? mosquitto_connect_async(client, config.host.c_str(), config.port, KEEPALIVE_SECONDS)
                       : mosquitto_reconnect_async(client);
        first = false;
        while (rc == MOSQ_ERR_SUCCESS && !ended)
            rc = mosquitto_loop(client, LOOP_TIMEOUT_MS, 1);
        const int savedErrno = errno;
        if (ended)
            break;
        bool hadIt = false;
        {
            std::lock_guard<std::mutex> guard(lock);
            hadIt = connected;
        }
        tellLoss(rc, savedErrno);
        if (hadIt)
            delay = FIRST_RETRY_SECONDS;
        std::unique_lock<std::mutex> guard(lock);
        changed.wait_for(guard, std::chrono::seconds(delay), [this] { return ended.load(); });
        delay = std::min(delay * 2, LAST_RETRY_SECONDS);
    }
}

MqttClient::~MqttClient()
{
    stop();
}

int MqttClient::start(const MqttConfig& config, const std::string& caFile, const MqttDiscovery& discovery,
                      std::string& error)
{
    std::call_once(libraryReady, [] { mosquitto_lib_init(); });
    auto* s = new State;
    s->config = config;
    s->discovery = discovery;
    s->where = config.host + ":" + std::to_string(config.port);
    s->stateTopic = config.topic + "/state";
    s->statusTopic = config.topic + "/status";
    s->hubStatusTopic = config.discoveryPrefix + "/status";
    s->client = mosquitto_new(nullptr, true, s);
    int rc = s->client ? MOSQ_ERR_SUCCESS : MOSQ_ERR_NOMEM;
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_threaded_set(s->client, true);
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_will_set(s->client, s->statusTopic.c_str(), 7, "offline", 1, true);
    if (rc == MOSQ_ERR_SUCCESS && !config.user.empty())
        rc = mosquitto_username_pw_set(s->client, config.user.c_str(),
                                       config.password.empty() ? nullptr : config.password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && config.tls) {
        rc = mosquitto_tls_set(s->client, caFile.empty() ? nullptr : caFile.c_str(), SYSTEM_AUTHORITIES, nullptr,
                               nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            error = "MQTT: TLS cannot be set up" + (caFile.empty() ? std::string() : " with the authority " + caFile)
                  + " (" + mosquitto_strerror(rc) + ")";
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        if (error.empty())
            error = std::string("MQTT: the client cannot be set up (") + mosquitto_strerror(rc) + ")";
        if (s->client)
            mosquitto_destroy(s->client);
        delete s;
        return 0;
    }
    mosquitto_connect_callback_set(s->client, onConnect);
    mosquitto_disconnect_callback_set(s->client, onDisconnect);
    mosquitto_publish_callback_set(s->client, onPublish);
    mosquitto_message_callback_set(s->client, onMessage);
    state = s;
    s->thread = std::thread([s] { s->run(); });
    return 1;
}

void MqttClient::publishState(const std::string& json)
{
    if (!state)
        return;
    {
        std::lock_guard<std::mutex> guard(state->lock);
        if (state->stopping)
            return;
        state->pending = json;
    }
    state->sendPending();
}

void MqttClient::stop()
{
    State* s = state;
    if (!s)
        return;
    state = nullptr;
    bool connected = false;
    {
        std::lock_guard<std::mutex> guard(s->lock);
        s->stopping = true;
        connected = s->connected;
    }
    if (connected) {
        // The library writes the message id before the message can leave.
        const int rc = mosquitto_publish(s->client, &s->offlineMid, s->statusTopic.c_str(), 7, "offline", 1, true);
        std::unique_lock<std::mutex> guard(s->lock);
        if (rc == MOSQ_ERR_SUCCESS)
            s->changed.wait_for(guard, OFFLINE_WAIT, [s] { return s->offlineAcknowledged || !s->connected; });
    }
    mosquitto_disconnect(s->client);
    {
        std::unique_lock<std::mutex> guard(s->lock);
        // The loop thread sends the goodbye before it ends.
        s->changed.wait_for(guard, OFFLINE_WAIT, [s] { return !s->connected; });
        s->ended = true;
    }
    s->changed.notify_all();
    s->thread.join();
    mosquitto_destroy(s->client);
    delete s;
}
