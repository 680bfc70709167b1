// Register map of the chip block behind reg_base: byte offsets of every
// 32-bit register the library touches.
#pragma once

#include <stdint.h>

namespace tov::reg {

constexpr uint32_t SYS_000 = 0x000;
constexpr uint32_t SYS_008 = 0x008;
constexpr uint32_t CLKGEN_010 = 0x010;
constexpr uint32_t CLKGEN_018 = 0x018;
constexpr uint32_t CLKGEN_020 = 0x020;
constexpr uint32_t CLKGEN_028 = 0x028;
constexpr uint32_t CLKGEN_030 = 0x030;
constexpr uint32_t SYS_050 = 0x050;
constexpr uint32_t SYS_054 = 0x054;
constexpr uint32_t SYS_058 = 0x058;
constexpr uint32_t SYS_05C = 0x05c;
constexpr uint32_t SYS_060 = 0x060;
constexpr uint32_t SYS_068 = 0x068;
constexpr uint32_t SYS_070 = 0x070;
constexpr uint32_t SYS_0C0 = 0x0c0;
constexpr uint32_t SYS_0F8 = 0x0f8;
constexpr uint32_t BLK_400 = 0x400;
constexpr uint32_t BLK_414 = 0x414;
constexpr uint32_t BLK_418 = 0x418;
constexpr uint32_t BLK_420 = 0x420;
constexpr uint32_t BLK_428 = 0x428;
constexpr uint32_t BLK_430 = 0x430;
constexpr uint32_t BLK_43C = 0x43c;
constexpr uint32_t BLK_47C = 0x47c;
constexpr uint32_t DRC_800 = 0x800;
constexpr uint32_t DRC_808 = 0x808;
constexpr uint32_t DRC_80C = 0x80c;
constexpr uint32_t DRC_CFG = 0x810;
constexpr uint32_t DRC_814 = 0x814;
constexpr uint32_t DRC_818 = 0x818;
constexpr uint32_t DRC_81C = 0x81c;
constexpr uint32_t DRC_CMD = 0x820;
constexpr uint32_t DRC_CMD_WORD = 0x824;
constexpr uint32_t DRC_CMD_STATUS = 0x828;
constexpr uint32_t DRC_840 = 0x840;
constexpr uint32_t DRC_844 = 0x844;
constexpr uint32_t DRC_848 = 0x848;
constexpr uint32_t DRC_84C = 0x84c;
constexpr uint32_t DRC_850 = 0x850;
constexpr uint32_t DRC_85C = 0x85c;
constexpr uint32_t DRC_LANE0 = 0x860;
constexpr uint32_t DRC_LANE1 = 0x864;
constexpr uint32_t DRC_LANE2 = 0x868;
constexpr uint32_t DRC_LANE3 = 0x86c;
constexpr uint32_t DRC_TEST_CTRL = 0x870;
constexpr uint32_t DRC_TEST_DATA = 0x874;
constexpr uint32_t DRC_878 = 0x878;
constexpr uint32_t DRC_880 = 0x880;
constexpr uint32_t DRC_890 = 0x890;
constexpr uint32_t DRC_894 = 0x894;
constexpr uint32_t DRC_898 = 0x898;
constexpr uint32_t DRC_89C = 0x89c;
constexpr uint32_t DRC_8A0 = 0x8a0;
constexpr uint32_t DRC_8A4 = 0x8a4;
constexpr uint32_t REG_6130 = 0x6130;
constexpr uint32_t REG_6134 = 0x6134;

struct RegName {
    uint32_t off;
    const char* name;
};

constexpr RegName names[] = {
    {SYS_000, "SYS_000"},
    {SYS_008, "SYS_008"},
    {CLKGEN_010, "CLKGEN_010"},
    {CLKGEN_018, "CLKGEN_018"},
    {CLKGEN_020, "CLKGEN_020"},
    {CLKGEN_028, "CLKGEN_028"},
    {CLKGEN_030, "CLKGEN_030"},
    {SYS_050, "SYS_050"},
    {SYS_054, "SYS_054"},
    {SYS_058, "SYS_058"},
    {SYS_05C, "SYS_05C"},
    {SYS_060, "SYS_060"},
    {SYS_068, "SYS_068"},
    {SYS_070, "SYS_070"},
    {SYS_0C0, "SYS_0C0"},
    {SYS_0F8, "SYS_0F8"},
    {BLK_400, "BLK_400"},
    {BLK_414, "BLK_414"},
    {BLK_418, "BLK_418"},
    {BLK_420, "BLK_420"},
    {BLK_428, "BLK_428"},
    {BLK_430, "BLK_430"},
    {BLK_43C, "BLK_43C"},
    {BLK_47C, "BLK_47C"},
    {DRC_800, "DRC_800"},
    {DRC_808, "DRC_808"},
    {DRC_80C, "DRC_80C"},
    {DRC_CFG, "DRC_CFG"},
    {DRC_814, "DRC_814"},
    {DRC_818, "DRC_818"},
    {DRC_81C, "DRC_81C"},
    {DRC_CMD, "DRC_CMD"},
    {DRC_CMD_WORD, "DRC_CMD_WORD"},
    {DRC_CMD_STATUS, "DRC_CMD_STATUS"},
    {DRC_840, "DRC_840"},
    {DRC_844, "DRC_844"},
    {DRC_848, "DRC_848"},
    {DRC_84C, "DRC_84C"},
    {DRC_850, "DRC_850"},
    {DRC_85C, "DRC_85C"},
    {DRC_LANE0, "DRC_LANE0"},
    {DRC_LANE1, "DRC_LANE1"},
    {DRC_LANE2, "DRC_LANE2"},
    {DRC_LANE3, "DRC_LANE3"},
    {DRC_TEST_CTRL, "DRC_TEST_CTRL"},
    {DRC_TEST_DATA, "DRC_TEST_DATA"},
    {DRC_878, "DRC_878"},
    {DRC_880, "DRC_880"},
    {DRC_890, "DRC_890"},
    {DRC_894, "DRC_894"},
    {DRC_898, "DRC_898"},
    {DRC_89C, "DRC_89C"},
    {DRC_8A0, "DRC_8A0"},
    {DRC_8A4, "DRC_8A4"},
    {REG_6130, "REG_6130"},
    {REG_6134, "REG_6134"},
};

// Map name of an offset, or nullptr for one outside the map.
constexpr const char* name_of(uint32_t off) {
    for (const RegName& r : names)
        if (r.off == off) return r.name;
    return nullptr;
}

}  // namespace tov::reg
