// Reserved clock values of the first family's default routine: a complete
// bring-up that polls every command's done bit, and two slow controller
// re-initialisations that leave the clocks and pads alone.
#include "meminit/halden/halden.h"

#include "meminit/hw/access.h"
#include "meminit/hw/blocks.h"
#include "meminit/hw/regs.h"

namespace tov::halden {
namespace {

// 97875 kHz with only the two generators in use released.
constexpr HaldenClockSet polled_clocks = {
    .field = {0x1d, 0x1d, 0x1e, 0x1e, 0x1e}, .released = g010 | g018, .sys_050 = 0xfdddfd1,
    .field_058 = 0x7f, .held_again = no_gens, .first_word = 0x4c780000,
};
constexpr HaldenCaseSettings polled_case = {
    .khz = 97875, .clocks = &polled_clocks, .width = Width::full,
    .drc_810 = 0x26a0936, .drc_814 = 0x2fc0624, .drc_818 = 0x1222207, .drc_81c = 0x31,
    .a = 2, .e = 0, .b = 2, .mr = 0x32, .r = 7, .field_890 = 0x80, .ninth = true,
};
constexpr uint32_t polled_size = 0x8000000;

// Re-initialisation variants.
struct HaldenReinit {
    uint32_t khz;
    uint32_t size_out;
    bool all_lanes;    // false: only 0x860 and 0x864 are brought up
    uint32_t drc_810;  // replaces the bits under 0x377f1f7f of 0x810
};
constexpr HaldenReinit reinit_97875 = {.khz = 97875, .size_out = 0x8000000, .all_lanes = true, .drc_810 = 0x36a0936};
constexpr HaldenReinit reinit_25000 = {.khz = 25000, .size_out = 0x2000000, .all_lanes = false, .drc_810 = 0x136a0936};

// The power-up list for the re-initialised controller (mode value 0x23: CAS
// latency 2, bursts of 8), each command held for 20 ticks.
struct ReinitCommand {
    uint32_t word;
    uint32_t code;
};
constexpr ReinitCommand reinit_commands[] = {
    {.word = 0x27100000, .code = 0x31f1}, {.word = 0x10400, .code = 0x30a1}, {.word = 0x10000, .code = 0x1081},
    {.word = 0x20123, .code = 0x81},      {.word = 0x20400, .code = 0xa1},   {.word = 0x10000, .code = 0x91},
    {.word = 0x40000, .code = 0x91},      {.word = 0x40023, .code = 0x81},   {.word = 0x20000, .code = 0x1f3},
};
constexpr uint32_t reinit_hold_ticks = 20;
constexpr uint32_t cmd_word_kept = 0xe000;  // bits 13-15 of 0x824 keep their value
constexpr uint32_t cmd_code_field = 0x31f3;

void lane_on(const RegContext* ctx, uint32_t lane) { reg_modify(ctx, lane, 0x1, 0x2); }

}  // namespace

int32_t polled_init(MemInitParams* p) {
    const RegContext* ctx = p->reg_ctx;
    p->mem_clock_khz = polled_case.khz;
    p->mem_size_out = polled_size;

    reg_modify(ctx, reg::BLK_43C, 0x20000, 0);
    start_generators(ctx, first_058(p, true), polled_clocks);
    modify_generators(ctx, polled_clocks.released, 0x800000, 0);
    delay_ticks(1);
    modify_generators(ctx, polled_clocks.released, 0x400000, 0);
    delay_ticks(1);
    clock_words(ctx, polled_clocks);
    lanes_on(ctx, false, false);
    delay_ticks(1);
    controller_words(ctx, polled_case);
    if (power_up(ctx, polled_case, Completion::poll) != 1) return 0;
    controller_finish(ctx, polled_case.field_890);
    tail(ctx, polled_clocks.held_again);
    return 1;
}

int32_t controller_reinit(MemInitParams* p) {
    const RegContext* ctx = p->reg_ctx;
    const HaldenReinit& v = p->clock_index == clock_reinit_97875 ? reinit_97875 : reinit_25000;
    p->mem_clock_khz = v.khz;
    p->mem_size_out = v.size_out;

    // Pads held in reset for about a second.
    reg_modify(ctx, reg::SYS_000, 0, 0x10);
    delay_ticks(100);
    reg_modify(ctx, reg::SYS_000, 0x10, 0);

    reg_modify(ctx, reg::DRC_890, 0, 0x4);
    lane_on(ctx, reg::DRC_LANE0);
    lane_on(ctx, reg::DRC_LANE1);
    if (v.all_lanes) {
        lane_on(ctx, reg::DRC_LANE2);
        lane_on(ctx, reg::DRC_LANE3);
    }
    lane_on(ctx, reg::DRC_880);
    reg_modify(ctx, reg::DRC_CFG, 0x377f1f7f, v.drc_810);
    reg_read(ctx, reg::DRC_814);
    reg_write(ctx, reg::DRC_814, 0x1860413);
    reg_modify(ctx, reg::DRC_818, 0x0fffffff, 0x1222104);
    reg_modify(ctx, reg::DRC_81C, 0x1ff, 0x21);
    delay_ticks(reinit_hold_ticks);

    for (const ReinitCommand& c : reinit_commands) {
        if (dram_wait_done(ctx) != 1) return 0;
        reg_modify(ctx, reg::DRC_CMD_WORD, ~cmd_word_kept, c.word);
        reg_modify(ctx, reg::DRC_CMD, cmd_code_field, c.code);
        delay_ticks(reinit_hold_ticks);
        reg_write(ctx, reg::DRC_CMD, 0);
    }

    delay_ticks(reinit_hold_ticks);
    reg_write(ctx, reg::DRC_800, 0);
    delay_ticks(reinit_hold_ticks);
    reg_modify(ctx, reg::BLK_43C, 0, 0x30000);
    return 1;
}

}  // namespace tov::halden
