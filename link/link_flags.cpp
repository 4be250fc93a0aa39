#include "link/link_flags.h"

LinkFlag deviceReady{0};
LinkFlag readerStop{0};
LinkFlag transferCancelled{0};
LinkFlag historyActive{0};
LinkFlag historyTotal{0};
LinkFlag historyComplete{0};
