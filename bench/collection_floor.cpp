// The floor of the collection listing: the least work a listing of the tree must do. Two modes:
//
//   collection_floor TREE [THREADS]           lists the tree once, breadth-first, taking each
//       entry's type from the listing, then on THREADS threads (default 2) opens each patch file
//       (a name ending in ".rp350p" in any letter case), reads it whole and closes it. Prints how
//       many files and bytes it read.
//   collection_floor --decode TREE [THREADS]  reads the tree's patch files into memory (at most
//       500 of them, not timed), then decodes as many patches as the tree holds, each from scratch
//       as the collection decodes them, on THREADS threads, round and round over those read.
//       Prints the milliseconds the decoding took.
//
// The collection benchmark (bench/collection_bench.sh) adds the two: the time of the first mode,
// as hyperfine measures it beside patchlens, and the decoding time of the second.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "floor_listing.h"

#include "patch/decode.h"

namespace {

bool IsPatchName(std::string_view name) {
    constexpr std::string_view kExtension = ".rp350p";
    if (name.size() < kExtension.size())
        return false;
    for (std::size_t i = 0; i < kExtension.size(); ++i) {
        const char c = name[name.size() - kExtension.size() + i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != kExtension[i])
            return false;
    }
    return true;
}

std::vector<std::string> ListPatchFiles(const std::string &root) {
    return ListFloorFiles(root, [](std::string_view name, std::string_view) { return IsPatchName(name); });
}

// The whole file, or nothing when it cannot be read.
std::string ReadWhole(const std::string &path, std::string buffer = {}) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat info {};
    if (::fstat(fd, &info) == 0)
        buffer.resize(static_cast<std::size_t>(info.st_size));
    std::size_t got = 0;
    for (ssize_t n; got < buffer.size() && (n = ::read(fd, buffer.data() + got, buffer.size() - got)) > 0;)
        got += static_cast<std::size_t>(n);
    ::close(fd);
    buffer.resize(got);
    return buffer;
}

template <class Work> void OnThreads(unsigned threads, Work work) {
    std::vector<std::thread> pool;
    for (unsigned i = 1; i < threads; ++i)
        pool.emplace_back(work);
    work();
    for (std::thread &thread : pool)
        thread.join();
}

} // namespace

int main(int argc, char **argv) {
    const bool decode = argc > 1 && std::strcmp(argv[1], "--decode") == 0;
    if (argc < 2 + (decode ? 1 : 0)) {
        std::fprintf(stderr, "usage: collection_floor [--decode] TREE [THREADS]\n");
        return 2;
    }
    const char *tree = argv[decode ? 2 : 1];
    const int threadArg = decode ? 3 : 2;
    const unsigned threads = argc > threadArg ? static_cast<unsigned>(std::atoi(argv[threadArg])) : 2;
    const std::vector<std::string> files = ListPatchFiles(tree);
    std::atomic<std::size_t> next{0};

    if (!decode) {
        std::atomic<std::size_t> bytes{0};
        OnThreads(threads, [&] {
            std::string buffer;
            std::size_t read = 0;
            for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
                buffer = ReadWhole(files[i], std::move(buffer));
                read += buffer.size();
            }
            bytes += read;
        });
        std::printf("%zu files, %zu bytes\n", files.size(), bytes.load());
        return 0;
    }

    std::vector<std::string> kept;
    for (std::size_t i = 0; i < files.size() && kept.size() < 500; ++i)
        kept.push_back(ReadWhole(files[i]));
    if (kept.empty()) {
        std::fprintf(stderr, "no patch files in %s\n", tree);
        return 1;
    }
    std::atomic<std::size_t> accepted{0};
    const auto start = std::chrono::steady_clock::now();
    // Each thread decodes its own copy of the bytes, moved into the patch and back, not copied (as
    // the scan moves each file's bytes into the patch it decodes).
    std::vector<std::vector<std::string>> copies(threads, kept);
    std::atomic<unsigned> nextThread{0};
    OnThreads(threads, [&] {
        std::vector<std::string> &own = copies[nextThread.fetch_add(1)];
        std::size_t fine = 0;
        for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
            std::string &bytes = own[i % own.size()];
            patchlens::Patch patch;
            patch.text = patchlens::MakePatchText(std::move(bytes));
            fine += patchlens::DecodePatch(patch).ok();
            bytes = std::move(patch.text).TakeBytes();
        }
        accepted += fine;
    });
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::printf("%.1f ms for %zu patches (%zu accepted)\n", took.count(), files.size(), accepted.load());
    return 0;
}
