// SPDX-License-Identifier: Apache-2.0
#include "tools/tovmem/align.h"

#include <algorithm>

namespace tovmem {

namespace {

using Items = std::vector<AlignItem>;

int score(const AlignItem& x, const AlignItem& y) {
    if (x.key != y.key) return 0;
    return x.value == y.value ? 3 : 2;
}

// Best scores of a[a0,a1) against every prefix b[b0,b0+k) (forward) or every
// suffix b[b1-k,b1) (backward), k = 0..b1-b0.
std::vector<long> last_row(const Items& a, size_t a0, size_t a1, const Items& b, size_t b0, size_t b1, bool forward) {
    const size_t m = b1 - b0;
    std::vector<long> prev(m + 1, 0), cur(m + 1, 0);
    for (size_t i = 0; i < a1 - a0; ++i) {
        const AlignItem& x = forward ? a[a0 + i] : a[a1 - 1 - i];
        cur[0] = 0;
        for (size_t k = 1; k <= m; ++k) {
            const AlignItem& y = forward ? b[b0 + k - 1] : b[b1 - k];
            long best = std::max(prev[k], cur[k - 1]);
            const int s = score(x, y);
            if (s) best = std::max(best, prev[k - 1] + s);
            cur[k] = best;
        }
        std::swap(prev, cur);
    }
    return prev;
}

// Full table with traceback, for blocks small enough to hold.
void small(const Items& a, size_t a0, size_t a1, const Items& b, size_t b0, size_t b1, std::vector<AlignPair>& out) {
    const size_t n = a1 - a0, m = b1 - b0;
    std::vector<long> t((n + 1) * (m + 1), 0);
    auto at = [&](size_t i, size_t k) -> long& { return t[i * (m + 1) + k]; };
    for (size_t i = 1; i <= n; ++i)
        for (size_t k = 1; k <= m; ++k) {
            long best = std::max(at(i - 1, k), at(i, k - 1));
            const int s = score(a[a0 + i - 1], b[b0 + k - 1]);
            if (s) best = std::max(best, at(i - 1, k - 1) + s);
            at(i, k) = best;
        }
    std::vector<AlignPair> rev;
    size_t i = n, k = m;
    while (i > 0 || k > 0) {
        if (i > 0 && k > 0) {
            const int s = score(a[a0 + i - 1], b[b0 + k - 1]);
            if (s && at(i, k) == at(i - 1, k - 1) + s) {
                rev.push_back({long(a0 + i - 1), long(b0 + k - 1)});
                --i;
                --k;
                continue;
            }
        }
        if (i > 0 && (k == 0 || at(i, k) == at(i - 1, k))) {
            rev.push_back({long(a0 + i - 1), -1});
            --i;
        } else {
            rev.push_back({-1, long(b0 + k - 1)});
            --k;
        }
    }
    out.insert(out.end(), rev.rbegin(), rev.rend());
}

void hirschberg(const Items& a, size_t a0, size_t a1, const Items& b, size_t b0, size_t b1,
                std::vector<AlignPair>& out) {
    const size_t n = a1 - a0, m = b1 - b0;
    if (n == 0) {
        for (size_t k = b0; k < b1; ++k) out.push_back({-1, long(k)});
        return;
    }
    if (m == 0) {
        for (size_t i = a0; i < a1; ++i) out.push_back({long(i), -1});
        return;
    }
    if (n <= 1 || m <= 1 || n * m <= (1u << 16)) {
        small(a, a0, a1, b, b0, b1, out);
        return;
    }
    const size_t mid = a0 + n / 2;
    const std::vector<long> f = last_row(a, a0, mid, b, b0, b1, true);
    const std::vector<long> g = last_row(a, mid, a1, b, b0, b1, false);
    size_t split = 0;
    long best = -1;
    for (size_t k = 0; k <= m; ++k) {
        const long s = f[k] + g[m - k];
        if (s > best) {
            best = s;
            split = k;
        }
    }
    hirschberg(a, a0, mid, b, b0, b0 + split, out);
    hirschberg(a, mid, a1, b, b0 + split, b1, out);
}

// Items that occur exactly once on each side of a stretch, paired, as the
// longest chain increasing on both sides (patience sorting, O(k log k)).
std::vector<AlignPair> anchors(const Items& a, size_t a0, size_t a1, const Items& b, size_t b0, size_t b1) {
    // Every item of both sides sorted by key and value (24 bytes each): a
    // group of exactly one from each side is an anchor.
    struct Occurrence {
        uint64_t key, value;
        long at;  // in a from 0, in b as -1 - index
    };
    std::vector<Occurrence> all;
    all.reserve(a1 - a0 + b1 - b0);
    for (size_t i = a0; i < a1; ++i) all.push_back({a[i].key, a[i].value, long(i)});
    for (size_t k = b0; k < b1; ++k) all.push_back({b[k].key, b[k].value, -1 - long(k)});
    std::sort(all.begin(), all.end(), [](const Occurrence& x, const Occurrence& y) {
        return x.key != y.key ? x.key < y.key : x.value != y.value ? x.value < y.value : x.at > y.at;
    });
    std::vector<AlignPair> unique;
    for (size_t g = 0; g < all.size();) {
        size_t e = g + 1;
        while (e < all.size() && all[e].key == all[g].key && all[e].value == all[g].value) ++e;
        // Sorted with a's occurrence (at >= 0) first.
        if (e - g == 2 && all[g].at >= 0 && all[g + 1].at < 0) unique.push_back({all[g].at, -1 - all[g + 1].at});
        g = e;
    }
    all.clear();
    all.shrink_to_fit();
    std::sort(unique.begin(), unique.end(), [](const AlignPair& x, const AlignPair& y) { return x.a < y.a; });
    // tails[l]: index in `unique` of the chain of length l + 1 ending at the smallest b.
    std::vector<size_t> tails, before(unique.size());
    for (size_t u = 0; u < unique.size(); ++u) {
        const auto it = std::lower_bound(tails.begin(), tails.end(), unique[u].b,
                                         [&](size_t t, long b_at) { return unique[t].b < b_at; });
        before[u] = it == tails.begin() ? ~size_t(0) : *(it - 1);
        if (it == tails.end())
            tails.push_back(u);
        else
            *it = u;
    }
    std::vector<AlignPair> chain;
    for (size_t u = tails.empty() ? ~size_t(0) : tails.back(); u != ~size_t(0); u = before[u])
        chain.push_back(unique[u]);
    std::reverse(chain.begin(), chain.end());
    return chain;
}

// Anchors cut a large stretch at most this deep; below, a stretch is either
// aligned exactly within the budget or left unpaired.
constexpr int max_depth = 32;

struct Aligner {
    const Items& a;
    const Items& b;
    AlignLimits& limits;
    std::vector<AlignPair>& out;

    void unpaired(size_t a0, size_t a1, size_t b0, size_t b1) {
        for (size_t i = a0; i < a1; ++i) out.push_back({long(i), -1});
        for (size_t k = b0; k < b1; ++k) out.push_back({-1, long(k)});
    }

    void stretch(size_t a0, size_t a1, size_t b0, size_t b1, int depth) {
        auto same = [](const AlignItem& x, const AlignItem& y) { return x.key == y.key && x.value == y.value; };
        while (a0 < a1 && b0 < b1 && same(a[a0], b[b0])) out.push_back({long(a0++), long(b0++)});
        size_t suf = 0;
        while (a1 - suf > a0 && b1 - suf > b0 && same(a[a1 - 1 - suf], b[b1 - 1 - suf])) ++suf;
        a1 -= suf;
        b1 -= suf;
        const uint64_t cells = uint64_t(a1 - a0) * (b1 - b0);
        if (cells <= limits.exact_cells || depth >= max_depth) {
            if (cells <= limits.budget_cells) {
                limits.budget_cells -= cells;
                hirschberg(a, a0, a1, b, b0, b1, out);
            } else {
                limits.gave_up_a += a1 - a0;
                limits.gave_up_b += b1 - b0;
                unpaired(a0, a1, b0, b1);
            }
        } else {
            const std::vector<AlignPair> cuts = anchors(a, a0, a1, b, b0, b1);
            if (cuts.empty()) {
                stretch(a0, a1, b0, b1, max_depth);
            } else {
                for (const AlignPair& c : cuts) {
                    stretch(a0, size_t(c.a), b0, size_t(c.b), depth + 1);
                    out.push_back(c);
                    a0 = size_t(c.a) + 1;
                    b0 = size_t(c.b) + 1;
                }
                stretch(a0, a1, b0, b1, depth + 1);
            }
        }
        for (size_t i = suf; i > 0; --i) out.push_back({long(a1 + suf - i), long(b1 + suf - i)});
    }
};

}  // namespace

std::vector<AlignPair> align(const Items& a, const Items& b, AlignLimits* limits) {
    AlignLimits defaults;
    AlignLimits& l = limits ? *limits : defaults;
    std::vector<AlignPair> out;
    out.reserve(std::max(a.size(), b.size()));
    Aligner{a, b, l, out}.stretch(0, a.size(), 0, b.size(), 0);
    return out;
}

}  // namespace tovmem
