// Every case row of every first-family routine, each clock_index that selects
// it (and, for the row for any other value, every other value up to 13 and a
// few far ones), run directly on the simulated chip in a full and a short
// power mode and compared access by access with the written-out sequence.
// The routines are called directly so that rows the dispatcher never selects
// through an adjusted ID are covered too.
#include <initializer_list>

#include "meminit/entry/routines.h"
#include "tests/halden_model.h"

namespace tov::test {
namespace {

using namespace halden_model;

struct CaseRow {
    InitRoutine routine;
    const TraitSpec* traits;
    std::initializer_list<uint32_t> clocks;  // clock_index values that select the row
    RowSpec row;
};

// Reported clock, clock set, width, 0x810, 0x814, 0x818, 0x81c, A, E, B, MR, R,
// 0x890 field, and true for the rows with the ninth power-up command.
// clang-format off
const CaseRow case_rows[] = {
    // meminit_halden_K4H561638F_TCCC
    {meminit_halden_K4H561638F_TCCC, &tccc, {3},
     {97875, cs98, W::full, 0x26a0936, 0x2fc0624, 0x2222207, 0x21, 2, 0, 2, 0x22, 7, 0x80}},
    {meminit_halden_K4H561638F_TCCC, &tccc, {4},
     {121500, cs121, W::full, 0x26a0936, 0x4870936, 0x223230b, 0x121, 3, 0, 2, 0x62, 11, 0x80}},
    {meminit_halden_K4H561638F_TCCC, &tccc, {5},
     {148500, cs148a, W::full, 0x26a0936, 0x5590a38, 0x223230d, 0x31, 3, 0, 2, 0x32, 13, 0x80}},
    {meminit_halden_K4H561638F_TCCC, &tccc, {6},
     {148500, cs148b, W::full, 0x26a0936, 0x5590a38, 0x223230d, 0x31, 3, 0, 2, 0x32, 13, 0x80}},
    {meminit_halden_K4H561638F_TCCC, &tccc, {7},
     {49500, cs49h, W::half, 0x136a0936, 0x2930624, 0x1222206, 0x121, 2, 0, 2, 0x63, 6, 0xc0}},
    {meminit_halden_K4H561638F_TCCC, &tccc, {8},
     {103500, cs103h, W::half, 0x136a0936, 0x4bb0a37, 0x123230b, 0x121, 3, 0, 2, 0x63, 11, 0xc0}},
    {meminit_halden_K4H561638F_TCCC, &tccc, {9, 10, 11},
     {148500, cs148h, W::half, 0x136a0936, 0x5590b48, 0x123240d, 0x31, 4, 0, 2, 0x33, 13, 0xc0}},
    {meminit_halden_K4H561638F_TCCC, &tccc, {0, 1, 2, 12, 13, 0xffff0004, 0x80000000},
     {49500, cs49a, W::full, 0x26a0936, 0x2930524, 0x2222206, 0x21, 2, 0, 2, 0x22, 6, 0x80}},
    // meminit_halden_id28
    {meminit_halden_id28, &id28, {3},
     {97875, cs98, W::full, 0x26a0932, 0x2fc0c48, 0x445340e, 0x31, 4, 0, 2, 0x32, 14, 0xc0}},
    {meminit_halden_id28, &id28, {4},
     {121500, cs121, W::full, 0x26a0932, 0x4870c48, 0x445340e, 0x31, 4, 0, 2, 0x32, 14, 0xc0}},
    {meminit_halden_id28, &id28, {5},
     {148500, cs148a, W::full, 0x26a0932, 0x5590c48, 0x445340f, 0x31, 4, 0, 2, 0x32, 15, 0xc0}},
    {meminit_halden_id28, &id28, {6},
     {148500, cs148b, W::full, 0x26a0932, 0x5590c48, 0x445340f, 0x31, 4, 0, 2, 0x32, 15, 0xc0}},
    {meminit_halden_id28, &id28, {7},
     {49500, cs49b, W::half, 0x126a0932, 0x2fc0c48, 0x445340e, 0x31, 4, 0, 2, 0x32, 14, 0xe0}},
    {meminit_halden_id28, &id28, {8},
     {103500, cs103, W::half, 0x126a0932, 0x4bb0d48, 0x445440e, 0x31, 4, 0, 2, 0x32, 14, 0xe0}},
    {meminit_halden_id28, &id28, {9, 10, 11},
     {148500, cs148b, W::half, 0x126a0932, 0x5590c48, 0x445340f, 0x31, 4, 0, 2, 0x32, 15, 0xe0}},
    {meminit_halden_id28, &id28, {0, 1, 2, 12, 13, 0xffff0001, 0xffff0002, 0xffff0004, 0x80000000},
     {49500, cs49b, W::full, 0x26a0932, 0x2fc0c48, 0x445340e, 0x31, 4, 0, 2, 0x32, 14, 0xc0}},
    // meminit_halden_id3b
    {meminit_halden_id3b, &id3b, {3},
     {97870, cs98, W::full, 0x26a0936, 0x2fc0625, 0x2122208, 0x21, 2, 0, 2, 0x22, 8, 0x80}},
    {meminit_halden_id3b, &id3b, {4},
     {121500, cs121, W::full, 0x26a0936, 0x4870937, 0x213230b, 0x121, 3, 0, 2, 0x62, 11, 0x80}},
    {meminit_halden_id3b, &id3b, {5},
     {148500, cs148c, W::full, 0x26a0936, 0x4f00a37, 0x213230c, 0x121, 3, 0, 2, 0x62, 12, 0x80}},
    {meminit_halden_id3b, &id3b, {6},
     {148500, cs148d, W::full, 0x26a0936, 0x4f00a37, 0x213230c, 0x121, 3, 0, 2, 0x62, 12, 0x80}},
    {meminit_halden_id3b, &id3b, {7},
     {49500, cs49a, W::half, 0x126a0936, 0x2930624, 0x2122207, 0x21, 2, 0, 2, 0x22, 7, 0xc0}},
    {meminit_halden_id3b, &id3b, {8},
     {103500, cs103, W::half, 0x126a0936, 0x4bb0a37, 0x213230c, 0x121, 3, 0, 2, 0x62, 12, 0xc0}},
    {meminit_halden_id3b, &id3b, {11},
     {148500, cs148d, W::half, 0x126a0936, 0x4f00a37, 0x213230c, 0x121, 3, 0, 2, 0x62, 12, 0xc0}},
    {meminit_halden_id3b, &id3b, {0, 1, 2, 9, 10, 12, 13, 0xffff0001, 0xffff0002, 0xffff0004, 0x80000000},
     {49500, cs49a, W::full, 0x26a0936, 0x2930624, 0x2122207, 0x21, 2, 0, 2, 0x22, 7, 0x80}},
    // meminit_halden_id1f
    {meminit_halden_id1f, &id1f, {2},
     {49500, cs49a, W::full, 0x26a0936, 0x2930524, 0x2222206, 0x31, 2, 0, 2, 0x32, 6, 0x80}},
    {meminit_halden_id1f, &id1f, {3},
     {97875, cs98, W::full, 0x26a0936, 0x2fc0624, 0x2222207, 0x31, 2, 0, 2, 0x32, 7, 0x80}},
    {meminit_halden_id1f, &id1f, {4},
     {121500, cs121, W::full, 0x26a0936, 0x4870936, 0x223230b, 0x31, 3, 0, 2, 0x32, 11, 0x80}},
    {meminit_halden_id1f, &id1f, {5},
     {148500, cs148a, W::full, 0x26a0936, 0x5590a38, 0x223230d, 0x31, 3, 0, 2, 0x32, 13, 0x80}},
    {meminit_halden_id1f, &id1f, {7},
     {49500, cs49a, W::half, 0x126a0936, 0x2930524, 0x2222206, 0x31, 2, 0, 2, 0x32, 6, 0xc0}},
    {meminit_halden_id1f, &id1f, {8},
     {103500, cs103, W::half, 0x126a0936, 0x4bb0937, 0x223230b, 0x31, 3, 0, 2, 0x32, 11, 0xc0}},
    {meminit_halden_id1f, &id1f, {11},
     {148500, cs148b, W::half, 0x126a0936, 0x5590a38, 0x223230d, 0x31, 3, 0, 2, 0x32, 13, 0xc0}},
    {meminit_halden_id1f, &id1f, {0, 1, 6, 9, 10, 12, 13, 0xffff0001, 0xffff0002, 0xffff0004, 0x80000000},
     {148500, cs148b, W::full, 0x26a0936, 0x5590a38, 0x223230d, 0x31, 3, 0, 2, 0x32, 13, 0x80}},
    // meminit_halden_id2a
    {meminit_halden_id2a, &id2a, {3},
     {97875, cs98, W::full, 0x26a0932, 0x2fc105b, 0x4333514, 0x31, 5, 0, 2, 0x32, 20, 0xc0}},
    {meminit_halden_id2a, &id2a, {4},
     {121500, cs121, W::full, 0x26a0932, 0x487105b, 0x4333514, 0x31, 5, 0, 2, 0x32, 20, 0xc0}},
    {meminit_halden_id2a, &id2a, {5},
     {148500, cs148a, W::full, 0x26a0932, 0x559105b, 0x4333514, 0x31, 5, 0, 2, 0x32, 20, 0xc0}},
    {meminit_halden_id2a, &id2a, {6},
     {148500, cs148b, W::full, 0x26a0932, 0x559105b, 0x4333514, 0x31, 5, 0, 2, 0x32, 20, 0xc0}},
    {meminit_halden_id2a, &id2a, {7},
     {49500, cs49a, W::half, 0x126a0932, 0x293105b, 0x4333514, 0x31, 5, 0, 2, 0x32, 20, 0xe0}},
    {meminit_halden_id2a, &id2a, {8, 9, 10},
     {103500, cs103, W::half, 0x126a0932, 0x4bb105b, 0x4444514, 0x31, 5, 0, 2, 0x32, 20, 0xe0}},
    {meminit_halden_id2a, &id2a, {11},
     {148500, cs148b, W::half, 0x126a0932, 0x559105b, 0x4333514, 0x31, 5, 0, 2, 0x32, 20, 0xe0}},
    {meminit_halden_id2a, &id2a, {0, 1, 2, 12, 13, 0xffff0001, 0xffff0002, 0xffff0004, 0x80000000},
     {49500, cs49a, W::full, 0x26a0932, 0x293105b, 0x4333514, 0x31, 5, 0, 2, 0x32, 20, 0xc0}},
    // meminit_halden_id38
    {meminit_halden_id38, &id38, {8},
     {103500, cs103, W::half, 0x126a0936, 0x4bb0a37, 0x213230c, 0x121, 3, 0, 2, 0x62, 12, 0xc0}},
    {meminit_halden_id38, &id38, {11},
     {148500, cs148d, W::half, 0x126a0936, 0x4f00a37, 0x213230c, 0x121, 3, 0, 2, 0x62, 12, 0xc0}},
    {meminit_halden_id38, &id38, {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 12, 13, 0xffff0001, 0xffff0002, 0xffff0004, 0x80000000},
     {49500, cs49a, W::half, 0x126a0936, 0x2930624, 0x2122207, 0x21, 2, 0, 2, 0x22, 7, 0xc0}},
    // meminit_halden_id30
    {meminit_halden_id30, &id30, {3},
     {97870, cs98, W::full, 0x26a0936, 0x2fc0624, 0x2222207, 0x21, 2, 0, 2, 0x22, 7, 0x80}},
    {meminit_halden_id30, &id30, {4},
     {121500, cs121, W::full, 0x26a0936, 0x4870936, 0x223230b, 0x121, 3, 0, 2, 0x62, 11, 0x80}},
    {meminit_halden_id30, &id30, {5},
     {148500, cs148a, W::full, 0x26a0936, 0x5590a38, 0x223230d, 0x31, 3, 0, 2, 0x32, 13, 0x80}},
    {meminit_halden_id30, &id30, {6},
     {148500, cs148b, W::full, 0x26a0936, 0x5590a38, 0x223230d, 0x31, 3, 0, 2, 0x32, 13, 0x80}},
    {meminit_halden_id30, &id30, {7},
     {49500, cs49a, W::half, 0x136a0936, 0x2930524, 0x2222206, 0x21, 2, 0, 2, 0x23, 6, 0xc0}},
    {meminit_halden_id30, &id30, {8},
     {103500, cs103, W::half, 0x136a0936, 0x4bb0937, 0x223230b, 0x121, 3, 0, 2, 0x63, 11, 0xc0}},
    {meminit_halden_id30, &id30, {11},
     {148500, cs148b, W::half, 0x136a0936, 0x5590a38, 0x223230d, 0x31, 3, 0, 2, 0x33, 13, 0xc0}},
    {meminit_halden_id30, &id30, {0, 1, 2, 9, 10, 12, 13, 0xffff0001, 0xffff0002, 0xffff0004, 0x80000000},
     {49500, cs49a, W::full, 0x26a0936, 0x2930524, 0x2222206, 0x21, 2, 0, 2, 0x22, 6, 0x80}},
    // meminit_halden_id24
    {meminit_halden_id24, &id24, {2},
     {49500, cs49a, W::full, 0x26a0936, 0x2930524, 0x2222206, 0x21, 2, 0, 2, 0x22, 6, 0x80}},
    {meminit_halden_id24, &id24, {3},
     {97875, cs98, W::full, 0x26a0936, 0x2fc0624, 0x2222207, 0x21, 2, 0, 2, 0x22, 7, 0x80}},
    {meminit_halden_id24, &id24, {4},
     {121500, cs121, W::full, 0x26a0936, 0x4870936, 0x223230b, 0x121, 3, 0, 2, 0x62, 11, 0x80}},
    {meminit_halden_id24, &id24, {5},
     {148500, cs148a, W::full, 0x26a0936, 0x5590a38, 0x223230d, 0x31, 3, 0, 2, 0x32, 13, 0x80}},
    {meminit_halden_id24, &id24, {7},
     {49500, cs49a, W::half, 0x136a0936, 0x2930524, 0x2222206, 0x21, 2, 0, 2, 0x23, 6, 0xc0}},
    {meminit_halden_id24, &id24, {8},
     {103500, cs103, W::half, 0x136a0936, 0x4bb0937, 0x223230b, 0x121, 3, 0, 2, 0x63, 11, 0xc0}},
    {meminit_halden_id24, &id24, {11},
     {148500, cs148b, W::half, 0x136a0936, 0x5590a38, 0x223230d, 0x31, 3, 0, 2, 0x33, 13, 0xc0}},
    {meminit_halden_id24, &id24, {0, 1, 6, 9, 10, 12, 13, 0xffff0001, 0xffff0002, 0xffff0004, 0x80000000},
     {148500, cs148b, W::full, 0x26a0936, 0x5590a38, 0x223230d, 0x31, 3, 0, 2, 0x32, 13, 0x80}},
    // meminit_halden_id36
    {meminit_halden_id36, &id36, {3},
     {97875, cs98, W::full, 0x26a0936, 0x2fc0624, 0x2222207, 0x21, 2, 2, 2, 0x22, 7, 0x80, true}},
    {meminit_halden_id36, &id36, {4},
     {121500, cs121, W::full, 0x26a0936, 0x4870936, 0x223230b, 0x121, 3, 2, 2, 0x62, 11, 0x80}},
    {meminit_halden_id36, &id36, {5},
     {148500, cs148a, W::full, 0x26a0936, 0x5590a38, 0x223230d, 0x31, 3, 2, 2, 0x32, 13, 0x80, true}},
    {meminit_halden_id36, &id36, {6},
     {148500, cs148b, W::full, 0x26a0936, 0x5590a38, 0x223230d, 0x31, 3, 2, 2, 0x32, 13, 0x80}},
    {meminit_halden_id36, &id36, {7},
     {49500, cs49a, W::half, 0x136a0936, 0x2930524, 0x2222206, 0x21, 2, 2, 2, 0x23, 6, 0xc0, true}},
    {meminit_halden_id36, &id36, {8},
     {103500, cs103, W::half, 0x136a0936, 0x4bb0937, 0x223230b, 0x121, 3, 2, 2, 0x63, 11, 0xc0}},
    {meminit_halden_id36, &id36, {9},
     {148500, cs121b, W::half, 0x136a0936, 0x4bb0937, 0x223230b, 0x121, 3, 2, 2, 0x63, 11, 0xc0}},
    {meminit_halden_id36, &id36, {11},
     {148500, cs148b, W::half, 0x136a0936, 0x5590a38, 0x223230d, 0x31, 3, 2, 2, 0x33, 13, 0xc0}},
    {meminit_halden_id36, &id36, {0, 1, 2, 10, 12, 13, 0xffff0001, 0xffff0002, 0xffff0004, 0x80000000},
     {49500, cs49a, W::full, 0x26a0936, 0x2930524, 0x2222206, 0x21, 2, 2, 2, 0x22, 6, 0x80}},
    // meminit_halden_id39
    {meminit_halden_id39, &id39, {3},
     {97875, cs98, W::full, 0x26a0936, 0x2fc0625, 0x1122208, 0x121, 2, 0, 2, 0x62, 8, 0x80}},
    {meminit_halden_id39, &id39, {4},
     {121500, cs121, W::full, 0x26a0936, 0x4870937, 0x113230b, 0x121, 3, 0, 2, 0x62, 11, 0x80}},
    {meminit_halden_id39, &id39, {5},
     {148500, cs148a, W::full, 0x26a0936, 0x5590b38, 0x113230d, 0x121, 3, 0, 2, 0x62, 13, 0x80}},
    {meminit_halden_id39, &id39, {6},
     {148500, cs148b, W::full, 0x26a0936, 0x5590b38, 0x113230d, 0x121, 3, 0, 2, 0x62, 13, 0x80}},
    {meminit_halden_id39, &id39, {7},
     {49500, cs49a, W::size_halved, 0x26a0936, 0x2930624, 0x1122207, 0x121, 2, 0, 2, 0x62, 7, 0x80}},
    {meminit_halden_id39, &id39, {8},
     {103500, cs103, W::size_halved, 0x26a0936, 0x4bb0a37, 0x113230c, 0x121, 3, 0, 2, 0x62, 12, 0x80}},
    {meminit_halden_id39, &id39, {11},
     {148500, cs148b, W::size_halved, 0x26a0936, 0x5590b38, 0x113230d, 0x121, 3, 0, 2, 0x62, 13, 0x80}},
    {meminit_halden_id39, &id39, {0, 1, 2, 9, 10, 12, 13, 0xffff0001, 0xffff0002, 0xffff0004, 0x80000000},
     {49500, cs49a, W::full, 0x26a0936, 0x2930624, 0x1122207, 0x121, 2, 0, 2, 0x62, 7, 0x80}},
    // meminit_halden_id32
    {meminit_halden_id32, &id32, {3},
     {97875, cs98, W::full, 0x26a0936, 0x2fc0624, 0x2222207, 0x21, 2, 0, 2, 0x22, 7, 0x80}},
    {meminit_halden_id32, &id32, {4},
     {121500, cs121, W::full, 0x26a0936, 0x4870936, 0x223230b, 0x121, 3, 0, 2, 0x62, 11, 0x80}},
    {meminit_halden_id32, &id32, {5},
     {148500, cs148a, W::full, 0x26a0936, 0x5590a38, 0x223230d, 0x31, 3, 0, 2, 0x32, 13, 0x80}},
    {meminit_halden_id32, &id32, {6},
     {148500, cs148b, W::full, 0x26a0936, 0x5590a38, 0x223230d, 0x31, 3, 0, 2, 0x32, 13, 0x80}},
    {meminit_halden_id32, &id32, {7},
     {49500, cs49a, W::half, 0x126a0936, 0x2930524, 0x2222206, 0x21, 2, 0, 2, 0x22, 6, 0xc0}},
    {meminit_halden_id32, &id32, {8},
     {103500, cs103, W::half, 0x126a0936, 0x4bb0937, 0x223230b, 0x121, 3, 0, 2, 0x62, 11, 0xc0}},
    {meminit_halden_id32, &id32, {11},
     {148500, cs148b, W::half, 0x126a0936, 0x5590a38, 0x223230d, 0x31, 3, 0, 2, 0x32, 13, 0xc0}},
    {meminit_halden_id32, &id32, {0, 1, 2, 9, 10, 12, 13, 0xffff0001, 0xffff0002, 0xffff0004, 0x80000000},
     {49500, cs49a, W::full, 0x26a0936, 0x2930524, 0x2222206, 0x21, 2, 0, 2, 0x22, 6, 0x80}},
    // meminit_halden_id33
    {meminit_halden_id33, &id33, {3},
     {97870, cs98, W::full, 0x26a0936, 0x2fc0625, 0x1122208, 0x121, 2, 0, 2, 0x62, 8, 0x80}},
    {meminit_halden_id33, &id33, {4},
     {121500, cs121, W::full, 0x26a0936, 0x4870937, 0x113230b, 0x21, 3, 0, 2, 0x22, 11, 0x80}},
    {meminit_halden_id33, &id33, {5},
     {148500, cs148c, W::full, 0x26a0936, 0x4f00a37, 0x113230c, 0x21, 3, 0, 2, 0x22, 12, 0x80}},
    {meminit_halden_id33, &id33, {6},
     {148500, cs148d, W::full, 0x26a0936, 0x4f00a37, 0x113230c, 0x21, 3, 0, 2, 0x22, 12, 0x80}},
    {meminit_halden_id33, &id33, {7},
     {49500, cs49a, W::half, 0x126a0936, 0x2930624, 0x1122207, 0x121, 2, 0, 2, 0x62, 7, 0xc0}},
    {meminit_halden_id33, &id33, {8},
     {103500, cs103, W::half, 0x126a0936, 0x4bb0a37, 0x113230c, 0x21, 3, 0, 2, 0x22, 12, 0xc0}},
    {meminit_halden_id33, &id33, {11},
     {148500, cs148d, W::half, 0x126a0936, 0x4f00a37, 0x113230c, 0x21, 3, 0, 2, 0x22, 12, 0xc0}},
    {meminit_halden_id33, &id33, {0, 1, 2, 9, 10, 12, 13, 0xffff0001, 0xffff0002, 0xffff0004, 0x80000000},
     {49500, cs49a, W::full, 0x26a0936, 0x2930624, 0x1122207, 0x121, 2, 0, 2, 0x62, 7, 0x80}},
    // meminit_halden_id12
    {meminit_halden_id12, &id12, {3},
     {97875, cs98, W::full, 0x26a0936, 0x2fc0625, 0x2122208, 0x21, 2, 0, 2, 0x22, 8, 0x80}},
    {meminit_halden_id12, &id12, {4},
     {121500, cs121, W::full, 0x26a0936, 0x4870937, 0x213230b, 0x121, 3, 0, 2, 0x62, 11, 0x80}},
    {meminit_halden_id12, &id12, {5},
     {148500, cs148c, W::full, 0x26a0936, 0x4f00a37, 0x213230c, 0x121, 3, 0, 2, 0x62, 12, 0x80}},
    {meminit_halden_id12, &id12, {6},
     {148500, cs148d, W::full, 0x26a0936, 0x4f00a37, 0x213230c, 0x121, 3, 0, 2, 0x62, 12, 0x80}},
    {meminit_halden_id12, &id12, {7},
     {49500, cs49a, W::half, 0x126a0936, 0x2930624, 0x2122207, 0x21, 2, 0, 2, 0x22, 7, 0xc0}},
    {meminit_halden_id12, &id12, {8},
     {103500, cs103, W::half, 0x126a0936, 0x4bb0a37, 0x213230c, 0x121, 3, 0, 2, 0x62, 12, 0xc0}},
    {meminit_halden_id12, &id12, {11},
     {148500, cs148d, W::half, 0x126a0936, 0x4f00a37, 0x213230c, 0x121, 3, 0, 2, 0x62, 12, 0xc0}},
    {meminit_halden_id12, &id12, {0, 1, 2, 9, 10, 12, 13, 0xffff0001, 0xffff0002, 0xffff0004, 0x80000000},
     {49500, cs49a, W::full, 0x26a0936, 0x2930624, 0x2122207, 0x21, 2, 0, 2, 0x22, 7, 0x80}},
    // meminit_halden_K4H511638C_UCCC
    {meminit_halden_K4H511638C_UCCC, &uccc, {3},
     {97875, cs98, W::full, 0x26a0a36, 0x2fc0624, 0x1221207, 0x121, 2, 0, 1, 0x62, 7, 0x00}},
    {meminit_halden_K4H511638C_UCCC, &uccc, {4},
     {121500, cs121, W::full, 0x26a0a36, 0x4870936, 0x123230b, 0x121, 3, 0, 2, 0x62, 11, 0x00}},
    {meminit_halden_K4H511638C_UCCC, &uccc, {5},
     {148500, cs148a, W::full, 0x26a0a36, 0x5590a38, 0x123230d, 0x31, 3, 0, 2, 0x32, 13, 0x00}},
    {meminit_halden_K4H511638C_UCCC, &uccc, {6},
     {148500, cs148e, W::full, 0x26a0a36, 0x5590a38, 0x123230d, 0x31, 3, 0, 2, 0x32, 13, 0x00}},
    {meminit_halden_K4H511638C_UCCC, &uccc, {7},
     {49500, cs49a, W::half, 0x126a0a36, 0x2930524, 0x1221206, 0x121, 2, 0, 1, 0x62, 6, 0x80}},
    {meminit_halden_K4H511638C_UCCC, &uccc, {8},
     {103500, cs103, W::half, 0x126a0a36, 0x4bb0937, 0x123230b, 0x121, 3, 0, 2, 0x62, 11, 0x80}},
    {meminit_halden_K4H511638C_UCCC, &uccc, {9, 10, 11},
     {148500, cs148e, W::half, 0x126a0a36, 0x5590a38, 0x123230d, 0x31, 3, 0, 2, 0x32, 13, 0x80}},
    {meminit_halden_K4H511638C_UCCC, &uccc, {0, 1, 2, 12, 13, 0xffff0001, 0xffff0002, 0xffff0004, 0x80000000},
     {49500, cs49a, W::full, 0x26a0a36, 0x2930524, 0x1221206, 0x121, 2, 0, 1, 0x62, 6, 0x00}},
};
// clang-format on

struct Call {
    int32_t ret;
    MemInitParams record;
    RunResult r;
};

Call call(InitRoutine routine, uint32_t clock, uint32_t mode, uint32_t bus_flag, const sim::ChipConfig& chip = {}) {
    Call c;
    c.r = sim::run_routine(routine, routine_record(clock, 0x8000000, bus_flag, 1, mode), chip);
    c.ret = c.r.ret;
    c.record = c.r.record;
    return c;
}

TEST(HaldenCaseRows, EveryRowOfEveryRoutine) {
    size_t rows = 0;
    for (const CaseRow& c : case_rows) {
        const uint32_t row_no = static_cast<uint32_t>(&c - case_rows);
        rows += c.clocks.size() != 0;
        for (uint32_t clock : c.clocks) {
            for (uint32_t mode : {0u, 3u}) {
                SCOPED_TRACE(testing::Message()
                             << std::hex << "clock_index 0x" << clock << ", power_mode " << mode
                             << ", row with 0x814 = 0x" << c.row.r814 << std::dec << " at " << c.row.khz << " kHz");
                // Random register contents, a draw per row, clock and mode.
                const sim::ChipConfig chip = random_chip(row_no, clock, mode);
                const Call k = call(c.routine, clock, mode, 1, chip);
                EXPECT_EQ(k.ret, 1);
                EXPECT_EQ(k.record.mem_clock_khz, c.row.khz);
                EXPECT_EQ(k.record.mem_size_out, c.row.width == W::full ? 0x8000000u : 0x4000000u);
                EXPECT_EQ(accesses(k.r), expected(*c.traits, c.row, clock, mode, 1, chip.presets));
            }
            // Without the bus flag no row halves the size.
            EXPECT_EQ(call(c.routine, clock, 0, 0).record.mem_size_out, 0x8000000u);
        }
    }
    EXPECT_EQ(rows, 108u);
}

}  // namespace
}  // namespace tov::test
