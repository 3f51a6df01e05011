// The floor of the folder-tree search: the least work any search of the tree must do. Lists the tree
// once, breadth-first, taking each entry's type from the listing; then, on THREADS threads, opens
// each patch file (a path holding ".rp350p", ".rp250p" or ".rp150p" in any letter case), reads its first BYTES bytes
// in one read, looks for KEY in them, and closes it. Prints how many patch files hold the key.
//
//   search_floor TREE KEY BYTES [THREADS]
//
// The search benchmark times it beside patchlens and ripgrep (bench/search_bench.sh).

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "floor_listing.h"

namespace {

bool IsPatchPath(std::string_view path) {
    // As the search takes them: the extension anywhere in the path, in any letter case.
    std::string lower(path);
    for (char &c : lower)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    for (std::string_view extension : {".rp350p", ".rp250p", ".rp150p"})
        if (lower.find(extension) != std::string::npos)
            return true;
    return false;
}

std::vector<std::string> ListPatchFiles(const std::string &root) {
    return ListFloorFiles(root, [](std::string_view, std::string_view path) { return IsPatchPath(path); });
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: search_floor TREE KEY BYTES [THREADS]\n");
        return 2;
    }
    const std::string key = argv[2];
    const std::size_t bytes = std::strtoul(argv[3], nullptr, 10);
    const unsigned threads = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 2;
    const std::vector<std::string> files = ListPatchFiles(argv[1]);

    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> holding{0};
    auto work = [&] {
        std::vector<char> buffer(bytes);
        std::size_t found = 0;
        for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
            const int fd = ::open(files[i].c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                continue;
            const ssize_t got = ::read(fd, buffer.data(), bytes);
            if (got > 0 && ::memmem(buffer.data(), static_cast<std::size_t>(got), key.data(), key.size()))
                ++found;
            ::close(fd);
        }
        holding += found;
    };
    std::vector<std::thread> pool;
    for (unsigned i = 1; i < threads; ++i)
        pool.emplace_back(work);
    work();
    for (std::thread &thread : pool)
        thread.join();
    std::printf("%zu\n", holding.load());
    return 0;
}
