// The reader against the model of the console's side of history downloads
// (tests/link/history_model.h), with the input's bytes as the model's
// choices: how many downloads and records, how long each record is, what
// becomes of each packet (lost, damaged, given up, repeated at once or
// late), which records are given up whole, which live observations and
// upload texts come between them, what damaged count bytes read. A byte
// of 0 is the plainest choice, so an input that runs out ends in clean
// downloads.
//
// After each phase the store must hold exactly the records the console
// delivered whole, in order; the download must be announced once with its
// count at its first intact packet, counted upward to its end and completed
// once (before the console goes quiet whenever the reader can tell its last
// record ended); every answer must be the one the console needs, and
// damaged or repeated packets must change nothing.
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "tests/link/history_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ByteChoices choices(data, size);
    const SequencePlan plan = generateSequence(choices, FUZZ_MODEL_LIMITS);
    const std::vector<std::string> faults = checkReader(plan);
    if (!faults.empty()) {
        for (const std::string& fault : faults)
            std::fprintf(stderr, "%s\n", fault.c_str());
        std::fprintf(stderr, "%s", describePlan(plan).c_str());
    }
    FUZZ_CHECK(faults.empty());
    return 0;
}
