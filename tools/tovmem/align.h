// Sequence alignment of two bus traces: a global alignment with free gaps that
// pairs steps of equal key (kind and register) and prefers pairs whose values
// agree too. Hirschberg's divide and conquer keeps memory linear in the
// trace length; time is O(n*m) at worst, and the common prefix and suffix
// cost nothing.
#pragma once

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

std::vector<AlignPair> align(const std::vector<AlignItem>& a, const std::vector<AlignItem>& b);

}  // namespace tovmem
