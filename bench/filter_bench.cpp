// The collection filter over a collection of 100,000 patches, as the window applies it when the
// filter field changes: the samples decoded once, their lines shared by every entry, each entry
// with a name and a path of its own.

#include <benchmark/benchmark.h>

#include <array>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "collection/patch_filter.h"
#include "compare/patch_compare.h"

namespace {

using namespace patchlens;

constexpr std::size_t kEntries = 100'000;

struct Collection {
    std::deque<FreshPatch> samples;
    std::vector<std::array<std::vector<std::string_view>, kModuleCount>> lines; // per sample
    std::vector<std::string> names;
    std::vector<std::string> files;
    std::vector<PatchFacts> facts;
};

const Collection &Prepared() {
    static const Collection collection = [] {
        Collection made;
        for (const auto &entry : std::filesystem::directory_iterator(PATCHLENS_SAMPLES))
            if (entry.path().extension() == ".rp350p")
                made.samples.push_back(DecodeFresh(entry.path()));
        for (const FreshPatch &sample : made.samples) {
            auto &lines = made.lines.emplace_back();
            for (std::size_t module = 0; module < kModuleCount; ++module)
                for (const std::string &line : sample.patch.panels[module].list.lines)
                    lines[module].push_back(line);
        }
        made.names.reserve(kEntries);
        made.files.reserve(kEntries);
        made.facts.reserve(kEntries);
        for (std::size_t i = 0; i < kEntries; ++i) {
            const std::size_t which = i % made.samples.size();
            const Patch &patch = made.samples[which].patch;
            made.names.push_back(patch.name + " " + std::to_string(i));
            made.files.push_back("set " + std::to_string(i % 97) + "/" + made.names.back() + ".rp350p");
            PatchFacts facts;
            facts.file = made.files.back();
            facts.name = made.names.back();
            for (std::size_t module = 0; module < kModuleCount; ++module)
                facts.modules[module] = {patch.panels[module].lampOn,
                                         patch.panels[module].list.enabled,
                                         made.lines[which][module],
                                         {}};
            made.facts.push_back(facts);
        }
        return made;
    }();
    return collection;
}

void ApplyFilter(benchmark::State &state, std::string_view text) {
    const Collection &collection = Prepared();
    const Result<PatchFilter> filter = ParseFilter(text);
    if (!filter.ok()) {
        state.SkipWithError(filter.message().c_str());
        return;
    }
    std::size_t shown = 0;
    for (auto _ : state) {
        shown = 0;
        for (const PatchFacts &facts : collection.facts)
            shown += Matches(*filter, facts) ? 1 : 0;
        benchmark::DoNotOptimize(shown);
    }
    state.counters["shown"] = static_cast<double>(shown);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kEntries));
}

// A typical filter: two knobs by label and by row, a model, a name, an alternative.
BENCHMARK_CAPTURE(ApplyFilter, typical,
                  "Delay Delay.2 >= 400 Distortion.DRIVE > 50 or Chorus/Fx=rot name~organ or name~\"lead 9\"")
    ->Unit(benchmark::kMillisecond);
// Knob labels looked for in every module: the slowest kind of condition.
BENCHMARK_CAPTURE(ApplyFilter, labels,
                  "Compressor.LEVEL > 5 Distortion.LEVEL > 5 NoiseGate.ATTEN > 5 Delay.DLYLVL > 5 "
                  "Reverb.RVBLVL > 5 \"Amp B\".AMPLVL > 5 EQB.PRESNC > 5")
    ->Unit(benchmark::kMillisecond);
// What the window shows for an empty field: every row.
BENCHMARK_CAPTURE(ApplyFilter, empty, "")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
