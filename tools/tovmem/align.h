// SPDX-License-Identifier: Apache-2.0
// Sequence alignment of two bus traces: a global alignment with free gaps that
// pairs steps of equal key (kind and register) and prefers pairs whose values
// agree too. Hirschberg's divide and conquer keeps memory linear in the
// trace length and is exact where the two sides' lengths multiply to at most
// `exact_cells`; larger stretches are first cut at steps that occur once on
// each side (kept in order: a longest increasing subsequence), and a stretch
// that no such step cuts and that would pass the whole budget is left
// unpaired and counted. The time is O(n log n) plus at most `budget_cells`
// table cells; the common prefix and suffix cost nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tovmem {

struct AlignItem {
    uint64_t key;    // steps pair only when their keys are equal
    uint64_t value;  // equal values make a better pair
};

// Pairs (index in a, index in b); -1 marks a step that only one side has.
struct AlignPair {
    long a;
    long b;
};

struct AlignLimits {
    uint64_t exact_cells = uint64_t(1) << 24;   // an exact alignment below this
    uint64_t budget_cells = uint64_t(1) << 27;  // the table cells of every stretch together
    // Filled in: steps of each side left unpaired because the budget ran out.
    size_t gave_up_a = 0, gave_up_b = 0;
};

std::vector<AlignPair> align(const std::vector<AlignItem>& a, const std::vector<AlignItem>& b,
                             AlignLimits* limits = nullptr);

}  // namespace tovmem
