// What the fuzz targets share: a check that stops the run with its condition,
// and the split of fuzz bytes into the entries of an argument vector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__);      \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace fuzz {

// Entries separated by zero bytes, as the system hands them over: an argument
// can hold any byte but zero. Capped, since a real command line is bounded.
inline std::vector<std::string> split_entries(const uint8_t* data, std::size_t size,
                                              std::size_t max_entries = 64) {
    std::vector<std::string> entries;
    std::string entry;
    for (std::size_t i = 0; i < size && entries.size() < max_entries; ++i) {
        if (data[i] == 0) {
            entries.push_back(entry);
            entry.clear();
        } else {
            entry.push_back(static_cast<char>(data[i]));
        }
    }
    if (entries.size() < max_entries && (!entry.empty() || size == 0)) entries.push_back(entry);
    return entries;
}

inline std::vector<const char*> pointers_to(const std::vector<std::string>& entries) {
    std::vector<const char*> pointers;
    for (const std::string& entry : entries) pointers.push_back(entry.c_str());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace fuzz
