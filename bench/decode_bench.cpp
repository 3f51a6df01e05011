// Decoding speed: the full DecodePatch of a realistic 36 KB patch (schema check, name, Pickup,
// fourteen module passes, closing pass) over a text indexed when it was made, and the same lookups
// without the index; comparing two patches, alone and with both files read and decoded from scratch.
// A collection scan decodes every file fresh, so the fresh decode is measured against the floor of
// reading the bytes at all: one memmem pass over the same patch. The run ends with their ratio.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "compare/patch_compare.h"
#include "patch/decode.h"

namespace {

std::string SampleBytes() {
    std::ifstream in(PATCHLENS_SAMPLES "/Clean Lead.rp350p", std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void DecodeRealisticPatch(benchmark::State &state) {
    const std::string bytes = SampleBytes();
    patchlens::Patch patch;
    patch.text = patchlens::MakePatchText(bytes);
    for (auto _ : state) {
        const auto outcome = patchlens::DecodePatch(patch);
        benchmark::DoNotOptimize(outcome);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(DecodeRealisticPatch)->Unit(benchmark::kMicrosecond);

// The same patch decoded into a fresh state, as the first file after the start is: new panels, a
// new index. This is the decode each side of a comparison costs.
void DecodeOneFresh(benchmark::State &state) {
    std::string bytes = SampleBytes();
    for (auto _ : state) {
        patchlens::Patch patch;
        patch.text = patchlens::MakePatchText(std::move(bytes));
        benchmark::DoNotOptimize(patchlens::DecodePatch(patch));
        bytes = std::move(patch.text).TakeBytes();
    }
}
BENCHMARK(DecodeOneFresh)->Unit(benchmark::kMicrosecond);

// One memmem pass over the same bytes for a key the patch lacks, so every byte is looked at: the
// yardstick of the fresh decode.
void MemmemPass(benchmark::State &state) {
    const std::string bytes = SampleBytes();
    constexpr std::string_view kAbsentKey = "<ID>65535</ID>";
    for (auto _ : state) {
        const void *found = ::memmem(bytes.data(), bytes.size(), kAbsentKey.data(), kAbsentKey.size());
        benchmark::DoNotOptimize(found);
        if (found != nullptr)
            state.SkipWithError("the key the pass looks for is in the patch");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(MemmemPass)->Unit(benchmark::kMicrosecond);

void LookupsByScanning(benchmark::State &state) {
    const patchlens::PatchText text = patchlens::MakePatchText(SampleBytes());
    std::vector<std::string> ids; // the ids of the patch's records
    for (std::size_t at = text.bytes().find("<ID>"); at != std::string::npos;
         at = text.bytes().find("<ID>", at + 1))
        ids.push_back(text.bytes().substr(at + 4, text.bytes().find('<', at + 4) - at - 4));
    for (auto _ : state) {
        for (const std::string &id : ids)
            benchmark::DoNotOptimize(patchlens::FindParameterByScan(text, "Amp B", id));
    }
}
BENCHMARK(LookupsByScanning)->Unit(benchmark::kMicrosecond);

void ReadAndDecodeSampleFile(benchmark::State &state) {
    patchlens::Patch patch;
    for (auto _ : state) {
        const auto outcome = patchlens::LoadPatchFile(patch, PATCHLENS_SAMPLES "/Clean Lead.rp350p");
        benchmark::DoNotOptimize(outcome);
    }
}
BENCHMARK(ReadAndDecodeSampleFile)->Unit(benchmark::kMicrosecond);

// Making the text: the index of its keys. The bytes are moved in and back out, not copied.
void IndexRealisticPatch(benchmark::State &state) {
    std::string bytes = SampleBytes();
    for (auto _ : state) {
        patchlens::PatchText text = patchlens::MakePatchText(std::move(bytes));
        benchmark::DoNotOptimize(text);
        bytes = std::move(text).TakeBytes();
    }
}
BENCHMARK(IndexRealisticPatch)->Unit(benchmark::kMicrosecond);

void CompareTwoDecodedPatches(benchmark::State &state) {
    const patchlens::FreshPatch a = patchlens::DecodeFresh(PATCHLENS_SAMPLES "/Clean Lead.rp350p");
    const patchlens::FreshPatch b = patchlens::DecodeFresh(PATCHLENS_SAMPLES "/Metal Rhythm.rp350p");
    for (auto _ : state)
        benchmark::DoNotOptimize(patchlens::ComparePatches(a.patch, b.patch));
}
BENCHMARK(CompareTwoDecodedPatches)->Unit(benchmark::kMicrosecond);

// Two patches decoded from bytes in memory into fresh states (start-up panels, a new index), then
// compared: the comparison with both decodes, without the file reads. The bytes are moved in and
// back out, not copied, as a file's bytes are read straight into its patch.
void DecodeTwoAndCompare(benchmark::State &state) {
    std::ifstream other(PATCHLENS_SAMPLES "/Metal Rhythm.rp350p", std::ios::binary);
    std::string bytesA = SampleBytes();
    std::string bytesB{std::istreambuf_iterator<char>(other), {}};
    for (auto _ : state) {
        patchlens::Patch a, b;
        a.text = patchlens::MakePatchText(std::move(bytesA));
        b.text = patchlens::MakePatchText(std::move(bytesB));
        benchmark::DoNotOptimize(patchlens::DecodePatch(a));
        benchmark::DoNotOptimize(patchlens::DecodePatch(b));
        benchmark::DoNotOptimize(patchlens::ComparePatches(a, b));
        bytesA = std::move(a.text).TakeBytes();
        bytesB = std::move(b.text).TakeBytes();
    }
}
BENCHMARK(DecodeTwoAndCompare)->Unit(benchmark::kMicrosecond);

// What `patchlens --compare A B` does before it writes: both files read and decoded into fresh
// states, then compared.
void CompareTwoFiles(benchmark::State &state) {
    for (auto _ : state) {
        const patchlens::FreshPatch a = patchlens::DecodeFresh(PATCHLENS_SAMPLES "/Clean Lead.rp350p");
        const patchlens::FreshPatch b = patchlens::DecodeFresh(PATCHLENS_SAMPLES "/Metal Rhythm.rp350p");
        benchmark::DoNotOptimize(patchlens::ComparePatches(a.patch, b.patch));
    }
}
BENCHMARK(CompareTwoFiles)->Unit(benchmark::kMicrosecond);

// The console's report, keeping the CPU times of the fresh decode and the memmem pass (the medians
// when the run has repetitions) for the ratio printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            const bool aggregate = run.run_type == Run::RT_Aggregate;
            if (run.error_occurred || (aggregate && run.aggregate_name != "median"))
                continue;
            const std::string name = run.run_name.function_name;
            double *kept = name == "DecodeOneFresh" ? &m_decode : name == "MemmemPass" ? &m_memmem : nullptr;
            if (kept != nullptr && (aggregate || run.repetitions <= 1))
                *kept = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void PrintRatio() const {
        if (m_decode <= 0 || m_memmem <= 0)
            return;
        const double ratio = m_decode / m_memmem;
        std::printf("DecodeOneFresh / MemmemPass (CPU time): %.1f x; the target of at most %.0f x is %s\n",
                    ratio, kTargetRatio, ratio <= kTargetRatio ? "met" : "NOT met");
    }

private:
    static constexpr double kTargetRatio = 5;
    double m_decode = 0, m_memmem = 0;
};

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    reporter.PrintRatio();
    return 0;
}
