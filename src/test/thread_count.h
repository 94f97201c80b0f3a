#pragma once

// How many threads of this process have one of `names` (the name a thread gives itself,
// as /proc shows it); tests and benchmarks use it to see the port's threads come and go.
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>

inline int ThreadsNamed(std::initializer_list<std::string_view> names) {
    int count = 0;
    for (const std::filesystem::directory_entry& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        for (std::string_view wanted : names) count += name == wanted;
    }
    return count;
}
