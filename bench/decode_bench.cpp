// Decoding speed: the full DecodePatch of a realistic 36 KB patch (schema check, name, Pickup,
// fourteen module passes, closing pass) over a text indexed when it was made, and the same lookups
// without the index; comparing two patches, alone and with both files read and decoded from scratch.

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

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

} // namespace

BENCHMARK_MAIN();
