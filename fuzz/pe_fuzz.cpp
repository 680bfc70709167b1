// SPDX-License-Identifier: Apache-2.0
// libFuzzer target over the PE loader and the image runner: the input is
// loaded as the kernel image (its checksum made to match first, so that
// mutations reach past that check) and, when it loads, brought up with a
// short bound on instructions and time; then the same bytes are loaded as
// the capture driver beside the shipped image. A refusal (ImageError) is
// the expected end; a crash, a sanitizer report, a hang or any other
// exception is a finding. The kit's checksum program (tools/pe_checksum)
// reads the same bytes first: it refuses them or agrees with the loader's
// checksum.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "sim/image/contain.h"
#include "sim/image/image_runner.h"
#include "tools/pe_checksum/pe_checksum.h"

using namespace tov::sim;
using namespace tov::sim::image;

namespace {

const std::vector<uint8_t>& shipped() {
    static const std::vector<uint8_t> file =
        std::filesystem::exists(TOV_KERNEL_IMAGE) ? read_file(TOV_KERNEL_IMAGE) : std::vector<uint8_t>{};
    return file;
}

constexpr RunnerOptions opts{.max_instructions = 20000, .max_wall = std::chrono::milliseconds(200)};

// The run goes on in a child process: the CPU emulator may abort on code it
// cannot translate, which tovmem reports as a refusal; anything else that
// ends the child (a sanitizer report) is a finding.
void try_run(ImageRunner& runner) {
    RunRequest req;
    req.config_id = 0x3000099;
    req.clock_index = 10;
    const Contained c = contained([&] {
        try {
            runner.run(req);
        } catch (const ImageError&) {}
        return 0;
    });
    if (c.finished && c.status == 0) return;
    if (!c.finished && c.stderr_text.find("tcg fatal error") != std::string::npos) return;
    std::fputs(c.stderr_text.c_str(), stderr);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> file(data, data + size);
    unsigned long field = 0, sum = 0;
    // An odd e_lfanew puts CheckSum across two words, which the two count
    // differently; no linker writes one.
    if (!pe_checksum_of(data, static_cast<unsigned long>(size), &field, &sum) && field % 2 == 0 &&
        (field != checksum_offset(file) || sum != pe_checksum(file)))
        std::abort();
    try {
        const uint32_t at = checksum_offset(file);
        const uint32_t sum = pe_checksum(file);
        std::memcpy(&file[at], &sum, 4);
    } catch (const ImageError&) {}
    try {
        ImageRunner runner(file, opts);
        try_run(runner);
    } catch (const ImageError&) {}
    if (!shipped().empty()) {
        try {
            ImageRunner runner(shipped(), file, opts);
            try_run(runner);
        } catch (const ImageError&) {}
    }
    return 0;
}
