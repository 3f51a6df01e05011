// The collection scan: a generated tree of 4,000 patch files (the samples with their names, the
// enables and models of the searchable modules and a few knobs changed; every tenth a renamed copy)
// scanned into a collection, and listed without keeping it, on one and on two threads; entries
// added to a collection. The counters give the collection's bytes per entry.
//
// Two modes for /usr/bin/time -v, which tells the peak memory:
//   collection_bench --collect N    N generated patches decoded into one collection, in memory
//   collection_bench --scan TREE... the folders scanned (recursively) into one collection
//   collection_bench --list TREE... the same scan, each patch handed on and dropped (as --list)
// Each prints the entries (and but for --list the collection's bytes and its bytes per entry).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "collection/collection_scan.h"
#include "search/search_modules.h"

namespace {

namespace fs = std::filesystem;
using namespace patchlens;

constexpr std::size_t kTreeFiles = 4000;

std::string ReplaceText(std::string bytes, std::string_view id, std::string_view text) {
    const std::size_t key = bytes.find("<ID>" + std::string(id) + "</ID>");
    if (key == std::string::npos)
        return bytes;
    const std::size_t open = bytes.find("<Text>", key) + 6;
    bytes.replace(open, bytes.find("</Text>", open) - open, text);
    return bytes;
}

const std::vector<std::string> &Samples() {
    static const std::vector<std::string> samples = [] {
        std::vector<std::string> read;
        for (const auto &entry : fs::directory_iterator(PATCHLENS_SAMPLES))
            if (entry.path().extension() == ".rp350p")
                read.push_back(ReadPatchFile(entry.path())->bytes());
        return read;
    }();
    return samples;
}

// Patch i of a generated collection; the same for the same i. Every tenth is a copy of the one
// before it under another name.
std::string GeneratedPatch(std::size_t i) {
    const std::size_t made = i % 10 == 9 ? i - 1 : i;
    std::mt19937 random(static_cast<unsigned>(made));
    std::string bytes = Samples()[made % Samples().size()];
    for (const SearchModule &module : SearchModules()) {
        bytes = ReplaceText(std::move(bytes), module.enableId, random() % 3 ? "On" : "Off");
        bytes = ReplaceText(std::move(bytes), module.typeId, module.models[random() % module.models.size()]);
    }
    for (const char *knob : {"2434", "2435", "1860", "1922"}) // drive, tone, delay level, reverb predelay
        bytes = ReplaceText(std::move(bytes), knob, std::to_string(random() % 100));
    const std::size_t name = bytes.find("<Name>") + 6;
    bytes.replace(name, bytes.find("</Name>", name) - name, "Patch " + std::to_string(i));
    return bytes;
}

struct Tree {
    fs::path root =
        fs::temp_directory_path() / ("patchlens-collection-bench-" + std::to_string(std::random_device()()));
    Tree() {
        fs::remove_all(root);
        for (std::size_t i = 0; i < kTreeFiles; ++i) {
            const fs::path folder =
                root / ("set " + std::to_string(i % 40)) / ("part " + std::to_string(i % 3));
            fs::create_directories(folder);
            std::ofstream(folder / ("patch " + std::to_string(i) + ".rp350p"), std::ios::binary)
                << GeneratedPatch(i);
        }
    }
    ~Tree() { fs::remove_all(root); }
};

const fs::path &TreeRoot() {
    static const Tree tree;
    return tree.root;
}

void ScanTree(benchmark::State &state) {
    const std::vector<fs::path> folders{TreeRoot()};
    const ScanOptions options{.threads = static_cast<unsigned>(state.range(0)),
                              .keepEntries = state.range(1) != 0};
    std::size_t entries = 0, bytes = 0;
    std::size_t handed = 0;
    ScanObserver observer;
    observer.onPatch = [&](ScannedPatch &, const ScanProgress &) { ++handed; };
    for (auto _ : state) {
        const ScanOutcome outcome = ScanCollection(folders, options, &observer);
        entries = outcome.progress.patches;
        bytes = outcome.collection.MemoryBytes();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * entries));
    if (options.keepEntries)
        state.counters["bytes_per_entry"] = static_cast<double>(bytes) / static_cast<double>(entries);
    benchmark::DoNotOptimize(handed);
}
// threads, kept
BENCHMARK(ScanTree)->Args({1, 1})->Args({2, 1})->Args({2, 0})->Unit(benchmark::kMillisecond)->UseRealTime();

// Adding decoded patches to a collection: what keeping them costs beyond the decoding.
void AddToCollection(benchmark::State &state) {
    std::vector<ScannedPatch> patches;
    for (std::size_t i = 0; i < kTreeFiles; ++i)
        patches.push_back(
            ScanPatch(0, "set/patch " + std::to_string(i) + ".rp350p", MakePatchText(GeneratedPatch(i))));
    std::size_t bytes = 0;
    for (auto _ : state) {
        Collection collection;
        for (const ScannedPatch &patch : patches)
            collection.Add(patch);
        bytes = collection.MemoryBytes();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * patches.size()));
    state.counters["bytes_per_entry"] = static_cast<double>(bytes) / static_cast<double>(patches.size());
}
BENCHMARK(AddToCollection)->Unit(benchmark::kMillisecond);

int Report(const Collection &collection) {
    const double perEntry = collection.empty() ? 0
                                               : static_cast<double>(collection.MemoryBytes()) /
                                                     static_cast<double>(collection.size());
    std::printf(
        "%zu entries, %zu bytes, %.0f bytes per entry; %zu sounds, %zu chains, %zu states, %zu texts\n",
        collection.size(), collection.MemoryBytes(), perEntry, collection.SoundCount(),
        collection.ChainCount(), collection.StateCount(), collection.TextCount());
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::strcmp(argv[1], "--collect") == 0) {
        const std::size_t count = std::strtoull(argv[2], nullptr, 10);
        Collection collection;
        for (std::size_t i = 0; i < count; ++i)
            collection.Add(
                ScanPatch(0, "set " + std::to_string(i % 97) + "/patch " + std::to_string(i) + ".rp350p",
                          MakePatchText(GeneratedPatch(i))));
        return Report(collection);
    }
    if (argc >= 3 && std::strcmp(argv[1], "--list") == 0) {
        std::size_t accepted = 0;
        ScanObserver observer;
        observer.onPatch = [&](ScannedPatch &patch, const ScanProgress &) {
            accepted += patch.accepted() ? 1 : 0;
        };
        const ScanOutcome outcome =
            ScanCollection(std::vector<fs::path>(argv + 2, argv + argc), {.keepEntries = false}, &observer);
        std::printf("%zu entries listed, %zu accepted\n", outcome.progress.patches, accepted);
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "--scan") == 0)
        return Report(ScanCollection(std::vector<fs::path>(argv + 2, argv + argc)).collection);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
