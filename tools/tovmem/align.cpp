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

}  // namespace

std::vector<AlignPair> align(const Items& a, const Items& b) {
    std::vector<AlignPair> out;
    out.reserve(std::max(a.size(), b.size()));
    auto same = [](const AlignItem& x, const AlignItem& y) { return x.key == y.key && x.value == y.value; };
    size_t pre = 0;
    while (pre < a.size() && pre < b.size() && same(a[pre], b[pre])) ++pre;
    size_t suf = 0;
    while (suf < a.size() - pre && suf < b.size() - pre && same(a[a.size() - 1 - suf], b[b.size() - 1 - suf])) ++suf;
    for (size_t i = 0; i < pre; ++i) out.push_back({long(i), long(i)});
    hirschberg(a, pre, a.size() - suf, b, pre, b.size() - suf, out);
    for (size_t i = suf; i > 0; --i) out.push_back({long(a.size() - i), long(b.size() - i)});
    return out;
}

}  // namespace tovmem
