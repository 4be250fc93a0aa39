// What the scheduler needs to know of each weather network the service
// builds its own requests for: whether it takes past observations, how
// often it wants them, how many go in one request, and where it is reached
// by default. Each row follows what the service's documentation asks (see
// the comment at the top of its request file).
#pragma once

#include "settings/network_config.h"
#include "upload/delivery_schedule.h"

struct NetworkTraits {
    Network network;
    bool takesPastObservations;  // back-fill from the archive, or the newest only
    int defaultIntervalMinutes;  // between deliveries, unless the user says otherwise
    int lowestIntervalMinutes;   // the service's own floor (1 where it names none)
    int batchSize;               // observations in one request
    const char* defaultEndpoint; // an https url, or HOST:PORT for CWOP
};

// Every network, in the order of Network.
const NetworkTraits* networkTraitsTable();

const NetworkTraits& networkTraits(Network network);

// A network that takes only current observations gets the newest while it
// is this young.
constexpr int CURRENT_WITHIN_MINUTES = 10;

// The outbox's rules for a network as configured: its interval (never below
// the network's floor), batch, and how far back it is caught up.
DeliveryRules networkDeliveryRules(Network network, const NetworkConfig& config);
