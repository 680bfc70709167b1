// Runs the shipped kernel image, tovmem.sys, instruction by instruction in a
// 32-bit x86 CPU emulator against the simulated chip: the product itself,
// not its host build. The image is loaded as the kernel's loader would load
// it, at a base other than its preferred one; its one import,
// KeQueryInterruptTime, reads the simulator's virtual clock; its register
// accesses reach the same chip model as a host run and are recorded as the
// same bus events. Any access outside what a caller maps for it stops the
// run with an ImageError naming the address, the instruction and the kind
// of access.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/image/pe_image.h"
#include "sim/simulator.h"

namespace tov::sim::image {

// Kernel-space bases, away from the images' preferred bases, so that every
// relocation is exercised: tovmem.sys and, when one is loaded, the capture
// driver that imports it.
constexpr uint32_t default_image_base = 0x80a00000;
constexpr uint32_t default_caller_base = 0x80c00000;

// An ImageError about the capture driver's file rather than the image's.
struct CallerError : ImageError {
    using ImageError::ImageError;
};

struct RunnerOptions {
    uint32_t image_base = default_image_base;
    uint32_t caller_base = default_caller_base;
    // A call that runs longer is a runaway image. The longest bring-up
    // (every wait timing out on a slow clock) stays far below this.
    uint64_t max_instructions = 50'000'000;
    // And one that runs longer in wall time, whatever its instruction count:
    // the longest bring-up takes some milliseconds.
    std::chrono::milliseconds max_wall{2000};
};

// The export driver's entry points.
enum class Entry { driver_entry, dll_initialize, tov_mem_init, dll_unload };
const char* entry_name(Entry e);

struct CallOutcome {
    int32_t ret = 0;
    ImageStats stats;
};

class ImageRunner {
public:
    // Loads, relocates and binds the image; ImageError when it is not a
    // native i386 DLL, imports anything but KeQueryInterruptTime, lacks one
    // of the entry points, or the emulator cannot map it.
    explicit ImageRunner(const std::vector<uint8_t>& file, const RunnerOptions& opts = {});

    // tovmem.sys and a capture driver built from examples/capture_driver,
    // each at its own base. A caller that does not load (an empty file
    // included) is a CallerError, so that a message can name its file. The
    // caller's imports are bound by name to the
    // loaded images' exports (tovmem.sys!tov_mem_init), then to the kernel
    // stubs; an import that nothing provides is refused, naming both sides.
    // run() then brings the memory up the way the capture driver's start
    // path does: through capture_start_memory and its import address table.
    ImageRunner(const std::vector<uint8_t>& file, const std::vector<uint8_t>& caller, const RunnerOptions& opts);
    ~ImageRunner();
    ImageRunner(const ImageRunner&) = delete;
    ImageRunner& operator=(const ImageRunner&) = delete;

    // One bring-up as a capture driver makes it: DriverEntry and
    // DllInitialize (each must return 0), tov_mem_init with the record of
    // `req` on a fresh simulated chip, DllUnload (must return 0). The result
    // has the bus events, record and times of the tov_mem_init call and its
    // stack depth and instruction count.
    //
    // With a capture driver loaded: tovmem.sys's DllInitialize, the capture
    // driver's DriverEntry, then capture_start_memory on a device whose
    // record is laid out as `req` asks, then DllUnload. The result adds the
    // capture driver's status; the figures cover the whole start call.
    RunResult run(const RunRequest& req);

    // One entry point called with `args` (32-bit words) pushed right to left
    // on a fresh stack, `__stdcall`: ImageError unless the callee pops them.
    // Register accesses go to `sim`, which may be null for an entry point
    // that must not touch the chip.
    CallOutcome call(Entry e, const std::vector<uint32_t>& args, Simulator* sim = nullptr);

    const LoadedImage& image() const;
    bool has_caller() const;
    const LoadedImage& caller_image() const;  // ImageError without a caller

    // Guest addresses the caller owns: the record and register context page,
    // and the image's stack.
    static constexpr uint32_t caller_page = 0x80e00000;
    static constexpr uint32_t record_addr = caller_page;
    static constexpr uint32_t context_addr = caller_page + 0x100;
    static constexpr uint32_t device_addr = caller_page + 0x200;  // the capture driver's device
    static constexpr uint32_t stack_size = 12 * 1024;             // an x86 kernel stack
    static constexpr uint32_t stack_top = 0x80f00000;

private:
    void load(const std::vector<uint8_t>& file, const std::vector<uint8_t>* caller, const RunnerOptions& opts);
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tov::sim::image
