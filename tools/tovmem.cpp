// tovmem: runs a DDR bring-up of the library on the simulated chip and prints
// its bus trace, annotated for people or as JSON lines for programs; lists
// the configuration tables.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "meminit/entry/config_table.h"
#include "meminit/hw/regs.h"
#include "sim/image/image_runner.h"
#include "sim/simulator.h"
#include "sim/trace_format.h"

namespace {

using namespace tov;

constexpr int exit_ok = 0;
constexpr int exit_failed = 1;
constexpr int exit_usage = 2;

const char* const usage_main =
    "usage: tovmem <command> [options]\n"
    "\n"
    "Runs the DDR bring-up library against a simulated chip and shows what it does.\n"
    "\n"
    "commands:\n"
    "  run     run one bring-up (tov_mem_init) and print its bus trace\n"
    "  list    print the three configuration tables\n"
    "\n"
    "'tovmem <command> --help' describes a command.\n";

const char* const usage_run =
    "usage: tovmem run --config ID --clock N [options]\n"
    "\n"
    "Runs tov_mem_init on a fresh simulated chip. The record starts with config_id,\n"
    "clock_index and power_mode as given and every other field 0xa5a5a5a5.\n"
    "Numbers are decimal or 0x-hex.\n"
    "\n"
    "  --config ID            configuration ID (config_id)\n"
    "  --clock N              memory clock selector (clock_index)\n"
    "  --power-mode N         power mode (default 0)\n"
    "  --reg OFF=VAL          register OFF holds VAL at start (repeatable)\n"
    "  --cmd-latency K        each DRAM command stays in flight for K loads of 0x828 (default 0)\n"
    "  --cmd-stuck-at N       the Nth DRAM command never completes\n"
    "  --fb-corrupt SLOT=MASK test-client writes to slot 0 or 1 are XORed with MASK (repeatable)\n"
    "  --unstable OFF         loads of OFF alternate between ~value and value (repeatable)\n"
    "  --aux-value V          the word behind aux_base (default 0)\n"
    "  --image PATH           run the kernel image tovmem.sys in an x86 emulator instead of the host build\n"
    "  --image-base ADDR      where the image is loaded (default 0x80a00000, 64 KiB aligned)\n"
    "  --format text|jsonl    annotated trace (default) or one JSON object per event\n"
    "\n"
    "Exit status: 0 when tov_mem_init returned 1, 1 when it returned 0 or -1, 2 on bad arguments.\n";

const char* const usage_list =
    "usage: tovmem list\n"
    "\n"
    "Prints every row of the three configuration tables, one line each: family, row,\n"
    "ID, routine, Adjust, Size, Bus, Mode and Map.\n";

[[noreturn]] void usage_error(const std::string& msg) {
    std::fprintf(stderr, "tovmem: %s (see 'tovmem --help')\n", msg.c_str());
    std::exit(exit_usage);
}

std::optional<uint64_t> parse_number(const std::string& s) {
    if (s.empty() || s[0] == '-' || s[0] == '+') return std::nullopt;
    const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    const char* digits = s.c_str() + (hex ? 2 : 0);
    if (*digits == '\0') return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(digits, &end, hex ? 16 : 10);
    if (errno != 0 || *end != '\0') return std::nullopt;
    return v;
}

uint32_t parse_u32(const std::string& opt, const std::string& s) {
    const auto v = parse_number(s);
    if (!v || *v > 0xffffffffull) usage_error(opt + " expects a 32-bit number, not '" + s + "'");
    return static_cast<uint32_t>(*v);
}

uint32_t parse_offset(const std::string& opt, const std::string& s) {
    const uint32_t off = parse_u32(opt, s);
    if (off % 4 != 0 || off >= sim::Simulator::reg_span)
        usage_error(opt + " expects a register offset (a multiple of 4 below 0x10000), not '" + s + "'");
    return off;
}

std::pair<std::string, std::string> split_pair(const std::string& opt, const std::string& s) {
    const size_t eq = s.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == s.size())
        usage_error(opt + " expects A=B, not '" + s + "'");
    return {s.substr(0, eq), s.substr(eq + 1)};
}

struct RunArgs {
    sim::RunRequest req;
    bool jsonl = false;
    std::string image;  // kernel image to run instead of the host build
    uint32_t image_base = sim::image::default_image_base;
};

RunArgs parse_run(int argc, char** argv) {
    RunArgs a;
    bool have_config = false, have_clock = false;
    for (int i = 0; i < argc; ++i) {
        const std::string opt = argv[i];
        if (opt == "--help" || opt == "-h") {
            std::fputs(usage_run, stdout);
            std::exit(exit_ok);
        }
        if (opt.rfind("--", 0) != 0) usage_error("unexpected argument '" + opt + "'");
        if (i + 1 >= argc) usage_error(opt + " needs a value");
        const std::string val = argv[++i];
        if (opt == "--config") {
            a.req.config_id = parse_u32(opt, val);
            have_config = true;
        } else if (opt == "--clock") {
            a.req.clock_index = parse_u32(opt, val);
            have_clock = true;
        } else if (opt == "--power-mode") {
            a.req.power_mode = parse_u32(opt, val);
        } else if (opt == "--reg") {
            const auto [off, v] = split_pair(opt, val);
            a.req.chip.presets[parse_offset(opt, off)] = parse_u32(opt, v);
        } else if (opt == "--cmd-latency") {
            a.req.chip.cmd_latency = parse_u32(opt, val);
        } else if (opt == "--cmd-stuck-at") {
            a.req.chip.cmd_stuck_at = parse_u32(opt, val);
            if (a.req.chip.cmd_stuck_at == 0) usage_error("--cmd-stuck-at counts commands from 1");
        } else if (opt == "--fb-corrupt") {
            const auto [slot, mask] = split_pair(opt, val);
            const uint32_t s = parse_u32(opt, slot);
            if (s > 1) usage_error("--fb-corrupt slot must be 0 or 1, not '" + slot + "'");
            a.req.chip.fb_corrupt[s] = parse_u32(opt, mask);
        } else if (opt == "--unstable") {
            a.req.chip.unstable.insert(parse_offset(opt, val));
        } else if (opt == "--aux-value") {
            a.req.chip.aux_value = parse_u32(opt, val);
        } else if (opt == "--image") {
            a.image = val;
        } else if (opt == "--image-base") {
            a.image_base = parse_u32(opt, val);
        } else if (opt == "--format") {
            if (val != "text" && val != "jsonl") usage_error("--format is text or jsonl, not '" + val + "'");
            a.jsonl = val == "jsonl";
        } else {
            usage_error("unknown option '" + opt + "' for run");
        }
    }
    if (!have_config) usage_error("run needs --config ID");
    if (!have_clock) usage_error("run needs --clock N");
    return a;
}

// ---- text rendering ----

std::string reg_label(uint32_t off) {
    char buf[48];
    const char* name = reg::name_of(off);
    if (name) std::snprintf(buf, sizeof buf, "%-14s 0x%03x", name, off);
    else std::snprintf(buf, sizeof buf, "%-14s 0x%03x", "?", off);
    return buf;
}

double ms(uint64_t units) { return static_cast<double>(units) / 10000.0; }

std::string printable(const std::string& msg) {
    std::string out;
    for (char c : msg) {
        if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

struct Counts {
    size_t loads = 0, stores = 0, commands = 0, delays = 0, messages = 0;
};

void print_text(const sim::RunResult& r) {
    using sim::EventKind;
    const auto& ev = r.events;
    const MemInitParams& p = r.record;
    std::printf("bring-up of config 0x%x, clock_index %u (after dispatch), power_mode %u\n", p.config_id,
                p.clock_index, p.power_mode);
    std::printf("%10s  %s\n", "time ms", "event");
    Counts c;
    uint32_t last_word = 0;
    // Counts a store and, for a command start (plain or read-modify-write),
    // returns its decoding.
    auto note_store = [&](const sim::Event& st) -> std::string {
        ++c.stores;
        if (st.off == reg::DRC_CMD_WORD) last_word = st.val;
        if (st.off != reg::DRC_CMD || st.val == 0) return "";
        ++c.commands;
        char buf[224];
        std::snprintf(buf, sizeof buf, "  DRAM command %zu: %s (word 0x%x)", c.commands,
                      sim::describe_command(st.val, last_word).c_str(), last_word);
        return buf;
    };
    auto next_time = [&](size_t i) { return i + 1 < ev.size() ? ev[i + 1].time : r.end_time; };
    for (size_t i = 0; i < ev.size(); ++i) {
        const sim::Event& e = ev[i];
        std::printf("%10.3f  ", ms(e.time - r.start_time));
        switch (e.kind) {
        case EventKind::load: {
            // A stable read is a run of loads of one register.
            size_t j = i;
            while (j + 1 < ev.size() && ev[j + 1].kind == EventKind::load && ev[j + 1].off == e.off) ++j;
            const size_t n = j - i + 1;
            c.loads += n;
            const uint32_t v = ev[j].val;
            if (j + 1 < ev.size() && ev[j + 1].kind == EventKind::store && ev[j + 1].off == e.off) {
                const sim::Event& s = ev[j + 1];
                char change[64];
                if (s.val == v) std::snprintf(change, sizeof change, "unchanged");
                else std::snprintf(change, sizeof change, "bits set 0x%x, cleared 0x%x", s.val & ~v, v & ~s.val);
                std::printf("modify %s  0x%08x -> 0x%08x  (%s; %zu load%s)%s\n", reg_label(e.off).c_str(), v,
                            s.val, change, n, n == 1 ? "" : "s", note_store(s).c_str());
                i = j + 1;
            } else {
                std::printf("read   %s  = 0x%08x  (%zu load%s)\n", reg_label(e.off).c_str(), v, n,
                            n == 1 ? "" : "s");
                i = j;
            }
            break;
        }
        case EventKind::store:
            std::printf("write  %s := 0x%08x%s\n", reg_label(e.off).c_str(), e.val, note_store(e).c_str());
            break;
        case EventKind::aux_load:
            ++c.loads;
            std::printf("read   %-20s = 0x%08x  (aux_base)\n", "AUX", e.val);
            break;
        case EventKind::delay_ticks:
            ++c.delays;
            std::printf("delay_ticks(%u)  %.1f ms\n", e.val, ms(next_time(i) - e.time));
            break;
        case EventKind::delay_ms:
            ++c.delays;
            std::printf("delay_ms(%u)  %.1f ms\n", e.val, ms(next_time(i) - e.time));
            break;
        case EventKind::trace:
            ++c.messages;
            std::printf("trace  \"%s\"\n", printable(e.msg).c_str());
            break;
        }
    }
    std::printf("\nresult         %d (%s)\n", r.ret,
                r.ret == 1 ? "memory up" : r.ret == 0 ? "failed" : "register access failed");
    std::printf("memory clock   %u kHz\n", p.mem_clock_khz);
    if (p.mem_size_out % 0x100000 == 0)
        std::printf("memory size    %u MiB (0x%x)\n", p.mem_size_out / 0x100000, p.mem_size_out);
    else
        std::printf("memory size    0x%x bytes\n", p.mem_size_out);
    std::printf("map value      %u\n", p.map_value);
    std::printf("record         mem_size 0x%x, bus_flag %u, mode_flag %u\n", p.mem_size, p.bus_flag, p.mode_flag);
    std::printf("bus            %zu loads, %zu stores, %zu DRAM commands, %zu delays, %zu messages\n", c.loads,
                c.stores, c.commands, c.delays, c.messages);
    std::printf("virtual time   %.3f ms\n", ms(r.end_time - r.start_time));
    if (r.from_image)
        std::printf("kernel image   %u stack bytes, %llu x86 instructions\n", r.image.stack_bytes,
                    static_cast<unsigned long long>(r.image.instructions));
}

int cmd_run(int argc, char** argv) {
    const RunArgs a = parse_run(argc, argv);
    sim::RunResult r;
    if (a.image.empty()) {
        r = sim::run_bring_up(a.req);
    } else {
        try {
            sim::image::ImageRunner runner(sim::image::read_file(a.image), {.image_base = a.image_base});
            r = runner.run(a.req);
        } catch (const sim::image::ImageError& e) {
            std::fprintf(stderr, "tovmem: %s: %s\n", a.image.c_str(), e.what());
            return exit_usage;
        }
    }
    if (a.jsonl) {
        for (const sim::Event& e : r.events) std::printf("%s\n", sim::event_jsonl(e).c_str());
        std::printf("%s\n", sim::result_jsonl(r).c_str());
    } else {
        print_text(r);
    }
    return r.ret == 1 ? exit_ok : exit_failed;
}

std::string size_text(uint32_t bytes) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u MiB", bytes / 0x100000);
    return buf;
}

int cmd_list(int argc, char** argv) {
    for (int i = 0; i < argc; ++i) {
        const std::string opt = argv[i];
        if (opt == "--help" || opt == "-h") {
            std::fputs(usage_list, stdout);
            return exit_ok;
        }
        usage_error("list takes no argument '" + opt + "'");
    }
    for (Family f : {Family::halden, Family::orlit, Family::varnel}) {
        const ConfigTable t = family_table(f);
        for (uint32_t i = 0; i < t.count; ++i) {
            const ConfigEntry& e = t.rows[i];
            std::printf("%-6s row %3u  id 0x%08x  %-72s adjust %u  size %-7s  bus %u  mode %u  map %u\n", t.name, i,
                        e.id, routine_name(e.routine), e.clock_adjust, size_text(e.size).c_str(), e.bus, e.mode,
                        e.map);
        }
    }
    return exit_ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) usage_error("missing command: run or list");
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(usage_main, stdout);
        return exit_ok;
    }
    if (command == "run") return cmd_run(argc - 2, argv + 2);
    if (command == "list") return cmd_list(argc - 2, argv + 2);
    usage_error("unknown command '" + command + "'");
}
