// Whole bring-ups of the first family compared access by access with the
// written-out sequence, for the rows that set the routines apart.
#include "tests/halden_model.h"

namespace tov::test {
namespace {

using namespace halden_model;

struct RowCase {
    const char* what;
    uint32_t config_id;
    uint32_t clock_in;    // as the caller passes it
    uint32_t clock_seen;  // as the routine sees it after the dispatcher
    const TraitSpec* traits;
    RowSpec row;
    uint32_t mode_flag;
    uint32_t size_out;
};

// Rows as the case tables give them (A, E, B, MR, R, 0x890 field).
// clang-format off
const RowCase row_cases[] = {
    // meminit_halden_K4H561638F_TCCC, IDs 0 and 0x5 (no clock adjust, 128 MiB, bus 1)
    {"tccc 3", 0x0, 3, 3, &tccc,
     {97875, cs98, W::full, 0x26a0936, 0x2fc0624, 0x2222207, 0x21, 2, 0, 2, 0x22, 7, 0x80}, 0, 128 * MiB},
    {"tccc 4", 0x5, 4, 4, &tccc,
     {121500, cs121, W::full, 0x26a0936, 0x4870936, 0x223230b, 0x121, 3, 0, 2, 0x62, 11, 0x80}, 0, 128 * MiB},
    {"tccc 5", 0x0, 5, 5, &tccc,
     {148500, cs148a, W::full, 0x26a0936, 0x5590a38, 0x223230d, 0x31, 3, 0, 2, 0x32, 13, 0x80}, 0, 128 * MiB},
    {"tccc 6", 0x0, 6, 6, &tccc,
     {148500, cs148b, W::full, 0x26a0936, 0x5590a38, 0x223230d, 0x31, 3, 0, 2, 0x32, 13, 0x80}, 0, 128 * MiB},
    {"tccc 7", 0x0, 7, 7, &tccc,
     {49500, cs49h, W::half, 0x136a0936, 0x2930624, 0x1222206, 0x121, 2, 0, 2, 0x63, 6, 0xc0}, 0, 64 * MiB},
    {"tccc 8", 0x0, 8, 8, &tccc,
     {103500, cs103h, W::half, 0x136a0936, 0x4bb0a37, 0x123230b, 0x121, 3, 0, 2, 0x63, 11, 0xc0}, 0, 64 * MiB},
    {"tccc 10", 0x5, 10, 10, &tccc,
     {148500, cs148h, W::half, 0x136a0936, 0x5590b48, 0x123240d, 0x31, 4, 0, 2, 0x33, 13, 0xc0}, 0, 64 * MiB},
    {"tccc other 1", 0x0, 1, 1, &tccc,
     {49500, cs49a, W::full, 0x26a0936, 0x2930524, 0x2222206, 0x21, 2, 0, 2, 0x22, 6, 0x80}, 0, 128 * MiB},
    // Through 0x10 (clock adjust, 64 MiB, bus 0): 0 arrives as 5, 2 as 7 (half width, size kept).
    {"tccc via 0x10, 0", 0x10, 0, 5, &tccc,
     {148500, cs148a, W::full, 0x26a0936, 0x5590a38, 0x223230d, 0x31, 3, 0, 2, 0x32, 13, 0x80}, 0, 64 * MiB},
    {"tccc via 0x1d, 2", 0x1d, 2, 7, &tccc,
     {49500, cs49h, W::half, 0x136a0936, 0x2930624, 0x1222206, 0x121, 2, 0, 2, 0x63, 6, 0xc0}, 0, 64 * MiB},
    // An ID the table does not hold runs the default row.
    {"unlisted 0x4000005", 0x4000005, 1, 1, &tccc,
     {49500, cs49a, W::full, 0x26a0936, 0x2930524, 0x2222206, 0x21, 2, 0, 2, 0x22, 6, 0x80}, 0, 128 * MiB},

    // meminit_halden_id28: 0x0c0 = 0x23333, clock set 49b.
    {"id28 7", 0x29, 2, 7, &id28,
     {49500, cs49b, W::half, 0x126a0932, 0x2fc0c48, 0x445340e, 0x31, 4, 0, 2, 0x32, 14, 0xe0}, 0, 32 * MiB},
    {"id28 8", 0x28, 3, 8, &id28,
     {103500, cs103, W::half, 0x126a0932, 0x4bb0d48, 0x445440e, 0x31, 4, 0, 2, 0x32, 14, 0xe0}, 0, 32 * MiB},
    {"id28 9", 0x28, 4, 9, &id28,
     {148500, cs148b, W::half, 0x126a0932, 0x5590c48, 0x445340f, 0x31, 4, 0, 2, 0x32, 15, 0xe0}, 0, 32 * MiB},
    {"id28 5", 0x28, 0, 5, &id28,
     {148500, cs148a, W::full, 0x26a0932, 0x5590c48, 0x445340f, 0x31, 4, 0, 2, 0x32, 15, 0xc0}, 0, 32 * MiB},

    // meminit_halden_id3b: 97870 at clock_index 3; tail in every power mode.
    {"id3b 3", 0x3b, 3, 3, &id3b,
     {97870, cs98, W::full, 0x26a0936, 0x2fc0625, 0x2122208, 0x21, 2, 0, 2, 0x22, 8, 0x80}, 0, 128 * MiB},
    {"id3b 11", 0x3c, 11, 11, &id3b,
     {148500, cs148d, W::half, 0x126a0936, 0x4f00a37, 0x213230c, 0x121, 3, 0, 2, 0x62, 12, 0xc0}, 0, 64 * MiB},
    {"id3b other 1", 0x3d, 1, 1, &id3b,
     {49500, cs49a, W::full, 0x26a0936, 0x2930624, 0x2122207, 0x21, 2, 0, 2, 0x22, 7, 0x80}, 0, 128 * MiB},
    {"id3b via 0x3e, 6", 0x3e, 6, 11, &id3b,
     {148500, cs148d, W::half, 0x126a0936, 0x4f00a37, 0x213230c, 0x121, 3, 0, 2, 0x62, 12, 0xc0}, 0, 64 * MiB},

    // meminit_halden_id1f: row for any other value at 148500.
    {"id1f other 1", 0x1f, 1, 1, &id1f,
     {148500, cs148b, W::full, 0x26a0936, 0x5590a38, 0x223230d, 0x31, 3, 0, 2, 0x32, 13, 0x80}, 0, 128 * MiB},
    {"id1f 2", 0x1f, 2, 2, &id1f,
     {49500, cs49a, W::full, 0x26a0936, 0x2930524, 0x2222206, 0x31, 2, 0, 2, 0x32, 6, 0x80}, 0, 128 * MiB},
    {"id1f 8", 0x1f, 8, 8, &id1f,
     {103500, cs103, W::half, 0x126a0936, 0x4bb0937, 0x223230b, 0x31, 3, 0, 2, 0x32, 11, 0xc0}, 0, 64 * MiB},

    // meminit_halden_id2a: 8, 9 and 10 share a row.
    {"id2a 9", 0x2b, 4, 9, &id2a,
     {103500, cs103, W::half, 0x126a0932, 0x4bb105b, 0x4444514, 0x31, 5, 0, 2, 0x32, 20, 0xe0}, 0, 32 * MiB},
    {"id2a 10", 0x2c, 5, 10, &id2a,
     {103500, cs103, W::half, 0x126a0932, 0x4bb105b, 0x4444514, 0x31, 5, 0, 2, 0x32, 20, 0xe0}, 0, 32 * MiB},
    {"id2a 11", 0x2d, 6, 11, &id2a,
     {148500, cs148b, W::half, 0x126a0932, 0x559105b, 0x4333514, 0x31, 5, 0, 2, 0x32, 20, 0xe0}, 0, 32 * MiB},
    {"id2a 12", 0x2a, 12, 12, &id2a,
     {49500, cs49a, W::full, 0x26a0932, 0x293105b, 0x4333514, 0x31, 5, 0, 2, 0x32, 20, 0xc0}, 0, 32 * MiB},

    // meminit_halden_id38: only 8 and 11; every other value is the half-width 49500 row.
    {"id38 11", 0x38, 6, 11, &id38,
     {148500, cs148d, W::half, 0x126a0936, 0x4f00a37, 0x213230c, 0x121, 3, 0, 2, 0x62, 12, 0xc0}, 0, 64 * MiB},
    {"id38 other 7", 0x38, 1, 7, &id38,
     {49500, cs49a, W::half, 0x126a0936, 0x2930624, 0x2122207, 0x21, 2, 0, 2, 0x22, 7, 0xc0}, 0, 64 * MiB},
    {"id38 other 9", 0x38, 4, 9, &id38,
     {49500, cs49a, W::half, 0x126a0936, 0x2930624, 0x2122207, 0x21, 2, 0, 2, 0x22, 7, 0xc0}, 0, 64 * MiB},

    // meminit_halden_id30: 97870; ID 0x30 has mode_flag 1.
    {"id30 3 mode 1", 0x30, 3, 3, &id30,
     {97870, cs98, W::full, 0x26a0936, 0x2fc0624, 0x2222207, 0x21, 2, 0, 2, 0x22, 7, 0x80}, 1, 128 * MiB},
    {"id30 7", 0x31, 7, 7, &id30,
     {49500, cs49a, W::half, 0x136a0936, 0x2930524, 0x2222206, 0x21, 2, 0, 2, 0x23, 6, 0xc0}, 0, 64 * MiB},
    {"id30 other 1 mode 1", 0x30, 1, 1, &id30,
     {49500, cs49a, W::full, 0x26a0936, 0x2930524, 0x2222206, 0x21, 2, 0, 2, 0x22, 6, 0x80}, 1, 128 * MiB},

    // meminit_halden_id24: row for any other value at 148500.
    {"id24 other 0", 0x24, 0, 0, &id24,
     {148500, cs148b, W::full, 0x26a0936, 0x5590a38, 0x223230d, 0x31, 3, 0, 2, 0x32, 13, 0x80}, 0, 128 * MiB},
    {"id24 2", 0x24, 2, 2, &id24,
     {49500, cs49a, W::full, 0x26a0936, 0x2930524, 0x2222206, 0x21, 2, 0, 2, 0x22, 6, 0x80}, 0, 128 * MiB},

    // meminit_halden_id36: E = 2 everywhere, (+) rows with the ninth command, row 9 on 121b.
    {"id36 3 (+)", 0x36, 3, 3, &id36,
     {97875, cs98, W::full, 0x26a0936, 0x2fc0624, 0x2222207, 0x21, 2, 2, 2, 0x22, 7, 0x80, true}, 0, 128 * MiB},
    {"id36 4", 0x36, 4, 4, &id36,
     {121500, cs121, W::full, 0x26a0936, 0x4870936, 0x223230b, 0x121, 3, 2, 2, 0x62, 11, 0x80}, 0, 128 * MiB},
    {"id36 5 (+)", 0x36, 5, 5, &id36,
     {148500, cs148a, W::full, 0x26a0936, 0x5590a38, 0x223230d, 0x31, 3, 2, 2, 0x32, 13, 0x80, true}, 0, 128 * MiB},
    {"id36 7 (+)", 0x36, 7, 7, &id36,
     {49500, cs49a, W::half, 0x136a0936, 0x2930524, 0x2222206, 0x21, 2, 2, 2, 0x23, 6, 0xc0, true}, 0, 64 * MiB},
    {"id36 9", 0x36, 9, 9, &id36,
     {148500, cs121b, W::half, 0x136a0936, 0x4bb0937, 0x223230b, 0x121, 3, 2, 2, 0x63, 11, 0xc0}, 0, 64 * MiB},
    {"id36 other 10", 0x36, 10, 10, &id36,
     {49500, cs49a, W::full, 0x26a0936, 0x2930524, 0x2222206, 0x21, 2, 2, 2, 0x22, 6, 0x80}, 0, 128 * MiB},

    // meminit_halden_id39: size halved, everything else full width.
    {"id39 7", 0x39, 7, 7, &id39,
     {49500, cs49a, W::size_halved, 0x26a0936, 0x2930624, 0x1122207, 0x121, 2, 0, 2, 0x62, 7, 0x80}, 0, 64 * MiB},
    {"id39 8", 0x39, 8, 8, &id39,
     {103500, cs103, W::size_halved, 0x26a0936, 0x4bb0a37, 0x113230c, 0x121, 3, 0, 2, 0x62, 12, 0x80}, 0, 64 * MiB},
    {"id39 11", 0x39, 11, 11, &id39,
     {148500, cs148b, W::size_halved, 0x26a0936, 0x5590b38, 0x113230d, 0x121, 3, 0, 2, 0x62, 13, 0x80}, 0, 64 * MiB},
    {"id39 5", 0x39, 5, 5, &id39,
     {148500, cs148a, W::full, 0x26a0936, 0x5590b38, 0x113230d, 0x121, 3, 0, 2, 0x62, 13, 0x80}, 0, 128 * MiB},

    // meminit_halden_id32 through 0x34: 5 arrives as 10, which has no row of its own.
    {"id32 via 0x34, 5", 0x34, 5, 10, &id32,
     {49500, cs49a, W::full, 0x26a0936, 0x2930524, 0x2222206, 0x21, 2, 0, 2, 0x22, 6, 0x80}, 0, 64 * MiB},
    {"id32 via 0x32, 3", 0x32, 3, 8, &id32,
     {103500, cs103, W::half, 0x126a0936, 0x4bb0937, 0x223230b, 0x121, 3, 0, 2, 0x62, 11, 0xc0}, 0, 64 * MiB},

    // meminit_halden_id33.
    {"id33 via 0x35, 0", 0x35, 0, 5, &id33,
     {148500, cs148c, W::full, 0x26a0936, 0x4f00a37, 0x113230c, 0x21, 3, 0, 2, 0x22, 12, 0x80}, 0, 64 * MiB},
    {"id33 via 0x33, 6", 0x33, 6, 11, &id33,
     {148500, cs148d, W::half, 0x126a0936, 0x4f00a37, 0x113230c, 0x21, 3, 0, 2, 0x22, 12, 0xc0}, 0, 64 * MiB},

    // meminit_halden_id12 through 0x12 (128 MiB, bus 0: half width keeps the size).
    {"id12 via 0x12, 6", 0x12, 6, 11, &id12,
     {148500, cs148d, W::half, 0x126a0936, 0x4f00a37, 0x213230c, 0x121, 3, 0, 2, 0x62, 12, 0xc0}, 0, 128 * MiB},
    {"id12 via 0x12, 0", 0x12, 0, 5, &id12,
     {148500, cs148c, W::full, 0x26a0936, 0x4f00a37, 0x213230c, 0x121, 3, 0, 2, 0x62, 12, 0x80}, 0, 128 * MiB},

    // meminit_halden_K4H511638C_UCCC: 0x810 0x26a0a36, B = 1 in rows 3, 7 and other, 148e.
    {"uccc 3", 0x1e, 3, 3, &uccc,
     {97875, cs98, W::full, 0x26a0a36, 0x2fc0624, 0x1221207, 0x121, 2, 0, 1, 0x62, 7, 0x00}, 0, 128 * MiB},
    {"uccc 6", 0x1e, 6, 6, &uccc,
     {148500, cs148e, W::full, 0x26a0a36, 0x5590a38, 0x123230d, 0x31, 3, 0, 2, 0x32, 13, 0x00}, 0, 128 * MiB},
    {"uccc 7", 0x1e, 7, 7, &uccc,
     {49500, cs49a, W::half, 0x126a0a36, 0x2930524, 0x1221206, 0x121, 2, 0, 1, 0x62, 6, 0x80}, 0, 64 * MiB},
    {"uccc 11", 0x1e, 11, 11, &uccc,
     {148500, cs148e, W::half, 0x126a0a36, 0x5590a38, 0x123230d, 0x31, 3, 0, 2, 0x32, 13, 0x80}, 0, 64 * MiB},
    {"uccc other 0xffff0001", 0x1e, 0xffff0001, 0xffff0001, &uccc,
     {49500, cs49a, W::full, 0x26a0a36, 0x2930524, 0x1221206, 0x121, 2, 0, 1, 0x62, 6, 0x00}, 0, 128 * MiB},
};
// clang-format on

TEST(HaldenRows, WholeBringUpMatchesSequenceInEveryPowerMode) {
    for (const RowCase& c : row_cases) {
        for (uint32_t mode : {0u, 1u, 2u, 3u, 4u, 0xffffffffu}) {
            SCOPED_TRACE(std::string(c.what) + ", power_mode " + std::to_string(mode));
            // Random register contents: every field write keeps the bits it does not name.
            const sim::ChipConfig chip = random_chip(c.config_id, c.clock_in, mode);
            const RunResult r = run(c.config_id, c.clock_in, mode, chip);
            EXPECT_EQ(r.ret, 1);
            EXPECT_EQ(r.record.clock_index, c.clock_seen);
            EXPECT_EQ(r.record.mem_clock_khz, c.row.khz);
            EXPECT_EQ(r.record.mem_size_out, c.size_out);
            EXPECT_EQ(accesses(r), expected(*c.traits, c.row, c.clock_seen, mode, c.mode_flag, chip.presets));
            if (mode == 0)
                EXPECT_EQ(accesses(run(c.config_id, c.clock_in, mode)),
                          expected(*c.traits, c.row, c.clock_seen, mode, c.mode_flag))
                    << "registers at 0";
        }
    }
}

// Registers that hold other values at the start: the read-modify-writes keep
// every bit they do not name.
TEST(HaldenRows, FieldWritesKeepOtherBits) {
    const std::map<uint32_t, uint32_t> presets = {
        {0x000, 0x12345678}, {0x010, 0xffffffff}, {0x018, 0x0f0f0f0f}, {0x020, 0x80000001}, {0x028, 0x00ff00ff},
        {0x030, 0xaaaaaaaa}, {0x43c, 0xffffffff}, {0x860, 0xf0f0f0f0}, {0x864, 0xffffffff}, {0x868, 0x12345679},
        {0x86c, 0x3},        {0x880, 0xfffffff0}, {0x890, 0xffffffff}, {0x058, 0x55555555},
    };
    const RowCase& c = row_cases[4];  // tccc 7: half width, 49h
    for (uint32_t mode : {0u, 2u}) {
        sim::ChipConfig chip;
        chip.presets = presets;
        chip.aux_value = 0xdeadbeef;
        const RunResult r = run(c.config_id, c.clock_in, mode, chip);
        EXPECT_EQ(r.ret, 1);
        EXPECT_EQ(accesses(r), expected(*c.traits, c.row, c.clock_seen, mode, 0, presets, 0xdeadbeef));
    }
    // A field write of 0x17 into 0x010 holding all ones leaves 0xffffd7ff until the release.
    sim::ChipConfig chip;
    chip.presets = {{0x010, 0xffffffff}};
    const RunResult r = run(0x0, 6, 0, chip);  // 148b: 0x010 field 0x1a
    const auto w010 = stores_to(r, 0x010);
    ASSERT_GE(w010.size(), 4u);
    EXPECT_EQ(w010[0], 0xffffffffu);
    EXPECT_EQ(w010[1], 0xffffdaffu);
    EXPECT_EQ(w010[2], 0xff7fdaffu);
    EXPECT_EQ(w010[3], 0xff3fdaffu);
}

}  // namespace
}  // namespace tov::test
