// SPDX-License-Identifier: Apache-2.0
// The kernel builds under test: the shipped x86 image (clang-cl, lld-link),
// the second x86 build of the same sources (mingw GCC) and the shipped x64
// image (clang-cl, lld-link), each with the sample capture driver its
// toolchain linked against its own import library.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "sim/image/pe_image.h"

namespace tov::test {

struct KernelBuild {
    const char* name;
    const char* image;   // tovmem.sys
    const char* caller;  // capture.sys
    const char* arch;    // "x86" or "x64": which callers it can load
};

inline const KernelBuild kernel_builds[] = {
    {"clang", TOV_KERNEL_IMAGE, TOV_CAPTURE_IMAGE, "x86"},
    {"gcc", TOV_KERNEL_IMAGE_GCC, TOV_CAPTURE_IMAGE_GCC, "x86"},
    {"x64", TOV_KERNEL_IMAGE_X64, TOV_CAPTURE_IMAGE_X64, "x64"},
};

// The builds of one architecture.
inline std::vector<KernelBuild> builds_of(const std::string& arch) {
    std::vector<KernelBuild> out;
    for (const KernelBuild& b : kernel_builds)
        if (arch == b.arch) out.push_back(b);
    return out;
}

inline void PrintTo(const KernelBuild& b, std::ostream* os) { *os << b.name; }

inline const KernelBuild& shipped_build() { return kernel_builds[0]; }

// The command that builds a kernel build's file: the preset whose tree holds it.
inline std::string how_to_build(const std::string& path) {
    const std::string preset = path.find("/kernel-gcc/") != std::string::npos ? "kernel-gcc" : "kernel";
    std::string how = "build it with `cmake --preset " + preset + " && cmake --build --preset " + preset + "`";
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".zip") == 0) how += ", then `cd build/kernel && cpack`";
    return how;
}

// The file's bytes, read once per process; a failed expectation (and an
// empty vector) when it is missing.
inline const std::vector<uint8_t>& file_bytes(const std::string& path) {
    static std::map<std::string, std::vector<uint8_t>> cache;
    auto it = cache.find(path);
    if (it == cache.end()) {
        std::vector<uint8_t> bytes;
        if (std::filesystem::exists(path))
            bytes = sim::image::read_file(path);
        else
            ADD_FAILURE() << "not built: " << path << "; " << how_to_build(path);
        it = cache.emplace(path, std::move(bytes)).first;
    }
    return it->second;
}

// Skips a test whose kernel build this host build was configured without.
#define TOV_REQUIRE_BUILD(path)                                                     \
    do {                                                                            \
        if (std::string(path).empty()) GTEST_SKIP() << "configured without " #path; \
    } while (0)

}  // namespace tov::test
