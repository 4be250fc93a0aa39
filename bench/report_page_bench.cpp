// Building the report page from a year of five-minute observations of the
// simulator's station (105,121 samples): every sample added, then the page
// written, as `aerovane report` does after reading the archive. The samples
// are made once beforehand, so the figure is the builder's alone.
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "report/report_page.h"
#include "tests/support/model_samples.h"

namespace {

const std::int64_t END = minutesFromCivil({2026, 12, 7, 9, 5});

struct YearOfSamples {
    std::vector<ReportSample> samples;
    StationFields latest;
};

const YearOfSamples& yearOfSamples()
{
    static YearOfSamples year;
    if (!year.samples.empty())
        return year;
    StationModel model;
    initStationModel(model, 7, 0, 45);
    for (std::int64_t minute = END - 365 * MINUTES_PER_DAY; minute <= END; minute += 5)
        year.samples.push_back(reportSample(minute, modelFields(model, minute)));
    year.latest = modelFields(model, END);
    return year;
}

void BM_ReportPageFromYear(benchmark::State& state)
{
    const YearOfSamples& year = yearOfSamples();
    std::size_t pageBytes = 0;
    for (auto _ : state) {
        ReportBuilder builder(END);
        for (const ReportSample& sample : year.samples)
            builder.add(sample);
        const std::string page = builder.page(&year.latest, DEFAULT_UNIT_SETTINGS);
        pageBytes = page.size();
        benchmark::DoNotOptimize(page.data());
    }
    state.counters["samples"] = static_cast<double>(year.samples.size());
    state.counters["pageKB"] = static_cast<double>(pageBytes) / 1024.0;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * year.samples.size()));
}
BENCHMARK(BM_ReportPageFromYear)->Unit(benchmark::kMillisecond);

// The page alone, from builders already filled.
void BM_ReportPageOnly(benchmark::State& state)
{
    const YearOfSamples& year = yearOfSamples();
    ReportBuilder builder(END);
    for (const ReportSample& sample : year.samples)
        builder.add(sample);
    for (auto _ : state) {
        const std::string page = builder.page(&year.latest, DEFAULT_UNIT_SETTINGS);
        benchmark::DoNotOptimize(page.data());
    }
}
BENCHMARK(BM_ReportPageOnly)->Unit(benchmark::kMillisecond);

} // namespace
