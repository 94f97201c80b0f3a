// Fuzz target: any command file. Every line is either a command or named as bad, in order;
// what is read is written back and read again unchanged.
#include <algorithm>
#include <cstdlib>

#include "send/command_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    const CommandFile read = ParseCommandFile(content);
    size_t last = 0;
    for (const BadCommandLine& bad : read.bad) {
        if (bad.line <= last) std::abort();
        last = bad.line;
    }
    const size_t lines = static_cast<size_t>(std::count(content.begin(), content.end(), '\n')) + 1;
    if (last > lines || read.commands.size() + read.bad.size() > lines) std::abort();

    const CommandFile again = ParseCommandFile(WriteCommandFile(read.commands));
    if (!again.bad.empty() || again.commands != read.commands) std::abort();
    return 0;
}
