#pragma once
// The floors' listing of a tree: once, breadth-first as the program walks it, each entry's type
// taken from the listing (no stat, links not followed), folders that cannot be opened skipped. The
// regular files `wanted(name, path)` takes are returned in the order found.

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include <dirent.h>

template <typename Wanted> std::vector<std::string> ListFloorFiles(const std::string &root, Wanted wanted) {
    std::vector<std::string> files;
    std::deque<std::string> waiting{root};
    while (!waiting.empty()) {
        const std::string folder = std::move(waiting.front());
        waiting.pop_front();
        DIR *dir = ::opendir(folder.c_str());
        if (dir == nullptr)
            continue;
        while (const dirent *entry = ::readdir(dir)) {
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            std::string path = folder + '/' + entry->d_name;
            if (entry->d_type == DT_DIR)
                waiting.push_back(path);
            else if (entry->d_type == DT_REG && wanted(name, std::string_view(path)))
                files.push_back(std::move(path));
        }
        ::closedir(dir);
    }
    return files;
}
