// SPDX-License-Identifier: Apache-2.0
// Runs the shipped kernel image, tovmem.sys, instruction by instruction in a
// CPU emulator against the simulated chip: the product itself, not its host
// build. An i386 image runs in 32-bit x86 mode, an AMD64 one in x86-64
// mode; the file says which. The image is loaded as the kernel's loader
// would load it, at a base other than its preferred one. The interrupt time
// is the simulator's clock reading: on x86 through the one import,
// KeQueryInterruptTime, on x64 in the shared user data page, which the
// runner maps read-only and fills with a fresh reading on each read of
// InterruptTime. Register accesses reach the same chip model as a host run
// and are recorded as the same bus events. Any access outside what a caller
// maps for it stops the run with an ImageError naming the address, the
// instruction and the kind of access. Nothing the image does makes an
// exception cross the emulator: an error inside one of the runner's hooks
// stops the emulation and the call ends in an ImageError of one line.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/image/pe_image.h"
#include "sim/simulator.h"

namespace tov::sim::image {

// Kernel-space bases, away from the images' preferred bases, so that every
// relocation is exercised: tovmem.sys and, when one is loaded, the capture
// driver that imports it. x64 places everything (images, stack, record,
// register block) above 4 GiB, so that an address cut to 32 bits shows.
constexpr uint64_t default_image_base = 0x80a00000;
constexpr uint64_t default_caller_base = 0x80c00000;
constexpr uint64_t default_image_base_x64 = 0xfffff80000a00000;
constexpr uint64_t default_caller_base_x64 = 0xfffff80000c00000;
// The x64 kernel's shared user data page (KI_USER_SHARED_DATA) and the
// offset of InterruptTime in it.
constexpr uint64_t shared_user_data = 0xfffff78000000000;
constexpr uint64_t interrupt_time_offset = 8;

// An ImageError about the capture driver's file rather than the image's.
struct CallerError : ImageError {
    using ImageError::ImageError;
};

struct RunnerOptions {
    // Where tovmem.sys and the capture driver are loaded; without a value,
    // the default of the image's architecture.
    std::optional<uint64_t> image_base{};
    std::optional<uint64_t> caller_base{};
    // Where the register block is mapped, as the caller's reg_base: an
    // address below 4 GiB, taken as is on x86 and inside the x64 places'
    // device window (its low 32 bits kept) on x64. Requests run by this
    // runner carry the same reg_base.
    std::optional<uint64_t> reg_block{};
    // A call that runs longer is a runaway image. The longest bring-up
    // (every wait timing out on a slow clock) stays far below this.
    uint64_t max_instructions = 50'000'000;
    // A backstop in wall time, whatever the instruction count: far above
    // what the instruction, event and log bounds allow on any machine
    // (50 million instructions take seconds, under the sanitizers tens of
    // seconds), so that it never decides a healthy image's run.
    std::chrono::milliseconds max_wall{5 * 60 * 1000};
    // What a call may leave behind: bus events (the longest bring-up, every
    // wait timing out, records some thousands) and the lines a diagnostic
    // image prints (one per step, each at most 512 bytes). A call past one
    // of them is stopped, so that the run's memory stays bounded.
    size_t max_events = 1'000'000;
    size_t max_log_lines = 100'000;
    size_t max_log_bytes = 8u << 20;
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
    // native i386 or AMD64 DLL, imports anything but (i386)
    // KeQueryInterruptTime, lacks one of the entry points, or the emulator
    // cannot map it.
    explicit ImageRunner(const std::vector<uint8_t>& file, const RunnerOptions& opts = {});

    // tovmem.sys and a capture driver built from examples/capture_driver,
    // each at its own base, both of one architecture. A caller that does
    // not load (an empty file included) is a CallerError, so that a message
    // can name its file. The caller's imports are bound by name to the
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

    // One entry point called on a fresh stack with `args`. x86: 32-bit
    // words pushed right to left, `__stdcall`: ImageError unless the callee
    // pops them and keeps EBX, ESI, EDI and EBP. x64: the Microsoft x64
    // convention, the first four in RCX, RDX, R8 and R9, 32 bytes of shadow
    // space above the return address, RSP 16-byte aligned at the call:
    // ImageError unless the callee returns with RSP where it was and keeps
    // RBX, RBP, RDI, RSI, R12 to R15 and XMM6 to XMM15. Register accesses go
    // to `sim`, which may be null for an entry point that must not touch the
    // chip (and then reads the interrupt time as 0).
    CallOutcome call(Entry e, const std::vector<uint64_t>& args, Simulator* sim = nullptr);

    const LoadedImage& image() const;
    bool has_caller() const;
    const LoadedImage& caller_image() const;  // ImageError without a caller
    bool is_64_bit() const;                   // an AMD64 image, run in x86-64 mode

    // The kernel stacks the runner gives a call: 12 KiB on x86, 24 KiB on x64.
    static constexpr uint32_t stack_size_x86 = 12 * 1024;
    static constexpr uint32_t stack_size_x64 = 24 * 1024;

private:
    void load(const std::vector<uint8_t>& file, const std::vector<uint8_t>* caller, const RunnerOptions& opts);
    RunResult run_once(const RunRequest& req);
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tov::sim::image
