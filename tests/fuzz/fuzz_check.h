#pragma once

// A check that survives NDEBUG: a broken property aborts, so libFuzzer keeps the input.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace dravix::fuzzing {

[[noreturn]] inline void propertyBroken(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
    std::abort();
}

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

} // namespace dravix::fuzzing

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::dravix::fuzzing::propertyBroken(#condition, __FILE__, __LINE__);                     \
    } while (false)
