// SPDX-License-Identifier: Apache-2.0
// A second driver, compiled from C by another toolchain, reaches
// tov_mem_init through its import address table with a record laid out from
// the public header: the sample capture driver, built by clang-cl against
// tovmem.lib and by mingw GCC against libtovmem.a, run on both tovmem
// images. Also the runner's refusals of imports nothing provides, and what
// becomes of a caller whose record layout differs from the library's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "sim/image/image_runner.h"
#include "sim/image/sweep.h"
#include "tests/kernel_builds.h"
#include "tests/tovmem_process.h"

namespace tov::test::capture_driver_test {
namespace {

using sim::image::ImageError;
using sim::image::ImageRunner;
using sim::image::Scenario;

// The status the capture driver's start path must report for each result:
// STATUS_SUCCESS, STATUS_IO_DEVICE_ERROR, STATUS_DEVICE_HARDWARE_ERROR.
uint32_t expected_status(int32_t result) {
    switch (result) {
    case 1: return 0x00000000;
    case 0: return 0xc0000185;
    case -1: return 0xc0000483;
    }
    return 0xc0000059;
}

// Runs every scenario through the caller and the host build; returns the
// number that differ, reporting the first few.
size_t sweep_differences(ImageRunner& runner, const std::vector<Scenario>& scenarios, const std::string& what,
                         bool report) {
    size_t differences = 0;
    std::set<int32_t> results;
    for (const Scenario& s : scenarios) {
        const sim::RunResult host = sim::run_bring_up(s.req);
        const sim::RunResult via = runner.run(s.req);
        std::string diff = sim::image::first_difference(host, via);
        if (diff.empty() && !via.image.through_caller) diff = "not run through the capture driver";
        if (diff.empty() && via.image.caller_status != expected_status(via.ret))
            diff = "status " + sim::image::hex(via.image.caller_status) + " for result " + std::to_string(via.ret);
        results.insert(via.ret);
        if (!diff.empty() && ++differences <= 3 && report) ADD_FAILURE() << what << ", " << s.name << ": " << diff;
    }
    if (report) EXPECT_TRUE(results.count(1) && results.count(0)) << what << ": the sweep reaches success and failure";
    return differences;
}

using Pairing = std::tuple<KernelBuild, KernelBuild>;  // the caller's build, the tovmem image's build

class CallerAgainstHost : public ::testing::TestWithParam<Pairing> {};

TEST_P(CallerAgainstHost, SameBusEventsTimesRecordAndTheMatchingStatus) {
    const auto& [caller, tovmem] = GetParam();
    TOV_REQUIRE_BUILD(caller.caller);
    TOV_REQUIRE_BUILD(tovmem.image);
    ImageRunner runner(file_bytes(tovmem.image), file_bytes(caller.caller), {});
    // Bound across images: the caller's import slot holds tovmem.sys's export.
    ASSERT_TRUE(runner.has_caller());
    EXPECT_NE(runner.caller_image().base, runner.caller_image().preferred_base);
    EXPECT_NE(runner.image().base, runner.image().preferred_base);
    const auto& imp = runner.caller_image().imports;
    ASSERT_EQ(imp.size(), 1u);
    uint64_t slot = 0;  // pointer-sized: 4 bytes on x86, 8 on x64
    std::memcpy(&slot, &runner.caller_image().memory[imp[0].iat_rva], runner.caller_image().pointer_size());
    EXPECT_EQ(slot, runner.image().export_address("tov_mem_init"));

    const std::vector<Scenario> scenarios = sim::image::routine_sweep();
    const std::string what = std::string(caller.name) + " capture driver on the " + tovmem.name + " image";
    const size_t differences = sweep_differences(runner, scenarios, what, true);
    std::printf("%s: %zu scenarios compared, %zu differences\n", what.c_str(), scenarios.size(), differences);
    EXPECT_GT(scenarios.size(), 71u * 14);
    EXPECT_EQ(differences, 0u);
}

// Every capture driver on every tovmem image of its own architecture.
std::vector<Pairing> pairings() {
    std::vector<Pairing> out;
    for (const KernelBuild& caller : kernel_builds)
        for (const KernelBuild& image : builds_of(caller.arch)) out.emplace_back(caller, image);
    return out;
}

INSTANTIATE_TEST_SUITE_P(Callers, CallerAgainstHost, ::testing::ValuesIn(pairings()), [](const auto& info) {
    return std::string(std::get<0>(info.param).name) + "_caller_" + std::get<1>(info.param).name + "_image";
});

// A patched copy of the shipped capture driver: one string of its import
// table replaced by another of the same length, the checksum rewritten.
std::vector<uint8_t> caller_with(const std::string& from, const std::string& to) {
    std::vector<uint8_t> f = file_bytes(shipped_build().caller);
    const std::string needle = from + '\0';
    auto at = std::search(f.begin(), f.end(), needle.begin(), needle.end());
    EXPECT_NE(at, f.end()) << from;
    if (at == f.end()) return f;
    EXPECT_EQ(std::search(at + 1, f.end(), needle.begin(), needle.end()), f.end()) << from << " appears twice";
    std::copy(to.begin(), to.end(), at);
    const uint32_t sum_at = sim::image::checksum_offset(f), sum = sim::image::pe_checksum(f);
    std::memcpy(&f[sum_at], &sum, 4);
    return f;
}

TEST(CallerRefusals, ImportsThatNoLoadedImageProvides) {
    TOV_REQUIRE_BUILD(TOV_CAPTURE_IMAGE);
    const std::pair<std::vector<uint8_t>, std::string> cases[] = {
        {caller_with("tov_mem_init", "tov_mem_fini"),
         "capture.sys imports tovmem.sys!tov_mem_fini, which tovmem.sys does not export"},
        {caller_with("tovmem.sys", "tovmex.sys"),
         "capture.sys imports tovmex.sys!tov_mem_init, which the kernel runner does not provide (no loaded image "
         "is tovmex.sys"},
    };
    for (const auto& [file, message] : cases) {
        try {
            ImageRunner runner(file_bytes(TOV_KERNEL_IMAGE), file, {});
            ADD_FAILURE() << "loaded: " << message;
        } catch (const ImageError& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
    }
}

// A capture driver built from a copy of the header with power_mode moved
// behind reserved_b: the header's layout checks refuse to compile it; with
// the checks edited to match, it builds, and the sweep catches it.
TEST(CallerRefusals, RecordLayoutThatDiffersByOneField) {
    TOV_REQUIRE_BUILD(TOV_CAPTURE_IMAGE);
    const std::filesystem::path tmp =
        std::filesystem::path(::testing::TempDir()) / ("tovmem_layout_" + std::to_string(getpid()));
    std::filesystem::create_directories(tmp);
    std::ifstream in(std::string(TOV_SOURCE_DIR) + "/include/tovmem.h");
    std::string header((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto replace = [&](const std::string& from, const std::string& to) {
        const size_t at = header.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        header.replace(at, from.size(), to);
    };
    const std::string power = "    unsigned int power_mode;", reserved = "    unsigned int reserved_b[2];";
    replace(power, "    unsigned int power_mode_moved;");
    replace(reserved, reserved + "\n" + power);
    replace("    unsigned int power_mode_moved;", "");
    const std::string cd = std::string(TOV_SOURCE_DIR) + "/examples/capture_driver";
    // capture.h beside the changed tovmem.h, as the kit ships it, so that it includes that one.
    std::filesystem::copy_file(std::string(TOV_SOURCE_DIR) + "/include/capture.h", tmp / "capture.h",
                               std::filesystem::copy_options::overwrite_existing);
    const std::string build = std::string(TOV_MINGW_GCC) + " -std=c89 -O1 -ffreestanding -fno-stack-protector -I'" +
                              tmp.string() + "' '" + cd + "/capture.c' -nostdlib -nostartfiles -s " +
                              "-Wl,--subsystem,native -Wl,--entry,_DriverEntry@8 -Wl,--dynamicbase -Wl,--kill-at '" +
                              cd + "/capture.def' '" + TOV_KIT_MINGW_LIB + "' -o '" + tmp.string() + "/capture.sys'";
    auto write_header = [&] { std::ofstream(tmp / "tovmem.h") << header; };

    write_header();
    const Outcome refused = run_shell(build);
    EXPECT_NE(refused.status, 0);
    EXPECT_NE(refused.err.find("tovmem_layout_power_mode"), std::string::npos) << refused.err;
    std::printf("layout checks: a record with power_mode moved does not compile (tovmem_layout_power_mode)\n");

    replace("TOVMEM_WORD_AT(power_mode, 10);", "TOVMEM_WORD_AT(power_mode, 12);");
    replace("TOVMEM_WORD_AT(reserved_b, 11);", "TOVMEM_WORD_AT(reserved_b, 10);");
    write_header();
    const Outcome built = run_shell(build);
    ASSERT_EQ(built.status, 0) << built.err;
    ImageRunner runner(file_bytes(TOV_KERNEL_IMAGE), sim::image::read_file((tmp / "capture.sys").string()), {});
    const std::vector<Scenario> scenarios = sim::image::routine_sweep();
    const size_t differences = sweep_differences(runner, scenarios, "moved power_mode", false);
    std::printf("the sweep: with the checks edited to match, %zu of %zu scenarios differ from the host build\n",
                differences, scenarios.size());
    EXPECT_EQ(differences, scenarios.size()) << "every record differs in word 10";
    std::filesystem::remove_all(tmp);
}

}  // namespace
}  // namespace tov::test::capture_driver_test
