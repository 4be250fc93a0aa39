// Reports per second through handleInputReport over a mix like a working
// console's: live observations of several packets, upload texts for both
// services, a history download, and a few damaged packets. A full-speed USB
// console sends at most 1,000 reports a second.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "link/link_flags.h"
#include "link/report_reader.h"
#include "sim/report_encoder.h"

namespace {

int ignoreCommand(void* context, const CommandReport& command)
{
    *static_cast<std::size_t*>(context) += command[2];
    return 1;
}

void ignoreMessage(void*, unsigned message, std::intptr_t lParam)
{
    benchmark::DoNotOptimize(message);
    benchmark::DoNotOptimize(lParam);
}

std::string observationText(int serial)
{
    std::string line = "57 2026-03-07 09:05 21.4 45 8.3 81 1013.2 1009.8 3.6 5.4 247 0.0 0.3 12.7 "
                       "31.9 2 -- -- 7.1 64 ";
    for (int field = 0; line.size() < 200; ++field)
        line += std::to_string((serial * 31 + field * 7) % 997) + ".5 ";
    return line;
}

void append(std::vector<EncodedReport>& stream, std::uint8_t kind, ReportHeader header,
            const std::string& text)
{
    EncodedMessage message;
    encodeMessage(kind, header, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                  message);
    stream.insert(stream.end(), message.reports, message.reports + message.count);
}

std::vector<EncodedReport> consoleStream()
{
    std::vector<EncodedReport> stream;
    const std::string wu(420, 'w');
    const std::string wc(260, 'c');
    for (int i = 0; i < 200; ++i) {
        append(stream, KIND_OBSERVATION, observationHeader(0, 0), observationText(i));
        if (i % 5 == 0) {
            append(stream, KIND_UPLOAD_WU, ReportHeader{}, wu);
            append(stream, KIND_UPLOAD_WC, ReportHeader{}, wc);
        }
        if (i % 50 == 0) {
            EncodedReport damaged = stream.back();
            damageChecksum(damaged);
            stream.insert(stream.end() - 1, damaged);
        }
    }
    const std::uint16_t records = 500;
    for (std::uint16_t n = 1; n <= records; ++n)
        append(stream, KIND_OBSERVATION, observationHeader(records, n), observationText(n));
    return stream;
}

void BM_HandleInputReport(benchmark::State& state)
{
    static std::vector<StationRecord> store(HISTORY_SLOT_COUNT);
    static wchar_t exportPath[] = L"C:\\weather\\history.csv";
    const std::vector<EncodedReport> stream = consoleStream();
    std::size_t commandBytes = 0;
    static ReportReader reader;
    initReportReader(reader, ReaderOutput{&ignoreCommand, &ignoreMessage, &commandBytes},
                     store.data(), store.size(), exportPath);
    transferCancelled = 0;
    historyActive = 0;

    for (auto _ : state) {
        // Each pass is a download of its own, as an export start asks for.
        historyRequested = HISTORY_REQUESTED;
        for (const EncodedReport& report : stream)
            handleInputReport(reader, report.data());
    }
    benchmark::DoNotOptimize(commandBytes);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
    state.counters["reports_per_s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * stream.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_HandleInputReport);

} // namespace
