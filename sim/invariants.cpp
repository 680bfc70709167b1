// SPDX-License-Identifier: Apache-2.0
#include "sim/invariants.h"

#include <cstdarg>
#include <cstdio>

#include "meminit/hw/access.h"
#include "meminit/hw/regs.h"

namespace tov::sim {
namespace {

// The short tick that ends at the wrap of the low 32 bits of the interrupt
// time: 2^32 mod tick_units units instead of a whole tick.
constexpr uint64_t wrap_span = uint64_t{1} << 32;
constexpr uint64_t short_tick = wrap_span % tick_units;

bool is_bus(const Event& e) {
    return e.kind == EventKind::store || e.kind == EventKind::load || e.kind == EventKind::aux_load;
}

bool is_status_load(const Event& e) { return e.kind == EventKind::load && e.off == reg::DRC_CMD_STATUS; }

std::string format(const char* f, ...) {
    char buf[256];
    va_list args;
    va_start(args, f);
    std::vsnprintf(buf, sizeof buf, f, args);
    va_end(args);
    return buf;
}

unsigned long long ull(uint64_t v) { return static_cast<unsigned long long>(v); }

}  // namespace

bool StableRead::take(uint32_t v) {
    ++loads_;
    if (twice_) {
        if (loads_ == 1) value_ = v;
        settled_ = loads_ == read_twice_loads;
        return settled_;
    }
    v &= mask_;
    agreeing_ = loads_ > 1 && v == value_ ? agreeing_ + 1 : 1;
    value_ = v;
    settled_ = agreeing_ == stable_read_agreeing_loads;
    return settled_ || loads_ == stable_read_max_loads;
}

ReplayedRead replay_stable_read(uint32_t off, const std::vector<uint32_t>& values, size_t from) {
    StableRead read(off);
    for (size_t i = from; i < values.size() && !read.take(values[i]); ++i) {}
    return read.result();
}

std::vector<std::string> check_invariants(const RunRequest& req, const RunResult& r) {
    std::vector<std::string> bad;
    const std::vector<Event>& ev = r.events;
    const bool timed = req.clock.script.empty();
    const uint64_t step = req.clock.step;
    // A reading may be up to one clock period old at a wait's start and at its end.
    const uint64_t lag = 2 * req.clock.period;

    if (r.ret < -1 || r.ret > 1) bad.push_back(format("result %d is not -1, 0 or 1", r.ret));

    // Fields the library never writes.
    const MemInitParams in = initial_record(req.config_id, req.clock_index, req.power_mode);
    if (r.record.config_id != in.config_id) bad.push_back(format("config_id written: %#x", r.record.config_id));
    if (r.record.power_mode != in.power_mode) bad.push_back(format("power_mode written: %#x", r.record.power_mode));
    for (size_t i = 0; i < 3; ++i)
        if (r.record.reserved_a[i] != in.reserved_a[i])
            bad.push_back(format("reserved word %zu written: %#x", i + 7, r.record.reserved_a[i]));
    for (size_t i = 0; i < 2; ++i)
        if (r.record.reserved_b[i] != in.reserved_b[i])
            bad.push_back(format("reserved word %zu written: %#x", i + 11, r.record.reserved_b[i]));

    // Every access inside the register block or on the mapped aux word.
    size_t last_bus = ev.size();
    for (size_t i = 0; i < ev.size(); ++i) {
        const Event& e = ev[i];
        if (!is_bus(e)) continue;
        last_bus = i;
        if (e.kind == EventKind::aux_load) {
            if (req.no_aux) bad.push_back(format("event %zu: aux load without an aux region", i));
        } else if (e.off >= Simulator::reg_span || (e.off & 3) != 0) {
            bad.push_back(format("event %zu: access outside the register block at %#x", i, e.off));
        }
    }

    // Done-bit waits: each maximal run of loads of the status register,
    // replayed read by read. A wait whose last read is not done gave up.
    for (size_t s = 0; s < ev.size();) {
        if (!is_status_load(ev[s])) {
            ++s;
            continue;
        }
        size_t e = s;
        std::vector<uint32_t> values;
        while (e < ev.size() && (is_status_load(ev[e]) || ev[e].kind == EventKind::trace)) {
            if (is_status_load(ev[e])) values.push_back(ev[e].val);
            ++e;
        }
        ReplayedRead last{0, true, 1};
        for (size_t pos = 0; pos < values.size(); pos += last.loads) {
            last = replay_stable_read(reg::DRC_CMD_STATUS, values, pos);
            if (!last.settled && last.loads < stable_read_max_loads) {
                bad.push_back(format("event %zu: a stable read of the status register cut short", s));
                break;
            }
        }
        size_t end = e;  // one past the run's last status load
        while (end > s && !is_status_load(ev[end - 1])) --end;
        const bool at_end = last_bus < end;
        if ((last.value & 1u) == 0) {
            if (!at_end)
                bad.push_back(format("event %zu: bus access after a done-bit wait gave up", end));
            else if (r.ret != 0 && !(r.ret == -1 && !last.settled))
                bad.push_back(format("a done-bit wait gave up but the result is %d", r.ret));
        }
        if (timed && ev[end - 1].time - ev[s].time > done_wait_bound + step + lag)
            bad.push_back(format("event %zu: done-bit wait of %llu units, bound %llu", s,
                                 ull(ev[end - 1].time - ev[s].time), ull(done_wait_bound)));
        s = e;
    }

    // -1: the last thing on the bus is one stable read that never settled.
    if (r.ret == -1) {
        std::vector<uint32_t> tail;
        uint32_t off = 0;
        bool one_register = true;
        for (size_t i = ev.size(); i-- > 0 && tail.size() < stable_read_max_loads;) {
            if (!is_bus(ev[i])) continue;
            if (ev[i].kind != EventKind::load || (!tail.empty() && ev[i].off != off)) {
                one_register = false;
                break;
            }
            off = ev[i].off;
            tail.insert(tail.begin(), ev[i].val);
        }
        const bool unsettled =
            one_register && tail.size() == stable_read_max_loads && !replay_stable_read(off, tail, 0).settled;
        if (!unsettled) bad.push_back("result -1 without a stable read that never settled at the end");
    }

    // Delays: between their bounds, also when the low 32 bits of the clock wrap.
    if (timed) {
        for (size_t i = 0; i < ev.size(); ++i) {
            const Event& e = ev[i];
            if (e.kind != EventKind::delay_ticks && e.kind != EventKind::delay_ms) continue;
            const uint64_t next = i + 1 < ev.size() ? ev[i + 1].time : r.end_time;
            const uint64_t took = next - e.time;
            const uint64_t n = e.val;
            uint64_t lo, hi;
            if (e.kind == EventKind::delay_ticks) {
                const bool wraps = e.time / wrap_span != next / wrap_span;
                const uint64_t cut = wraps ? tick_units - short_tick : 0;
                lo = n * tick_units > cut ? n * tick_units - cut : 0;
                hi = (n + 1) * tick_units + 2 * step + lag;
            } else {
                lo = n * 10000;
                hi = n * 10000 + 2 * step + lag;
            }
            if (took < lo || took > hi)
                bad.push_back(format("event %zu: %s(%llu) took %llu units, not within [%llu, %llu]", i,
                                     e.kind == EventKind::delay_ticks ? "delay_ticks" : "delay_ms", ull(n), ull(took),
                                     ull(lo), ull(hi)));
        }
    }
    return bad;
}

}  // namespace tov::sim
