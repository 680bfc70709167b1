// SPDX-License-Identifier: Apache-2.0
// tovmem report, the page itself: every event of the trace drawn once, with
// the bus-step numbers check and diff print; everything from a file escaped;
// no address outside the page; its policy's digests those of its style and
// script; small for the longest calls. Then in a real browser (headless
// Chromium, skipped when it is not installed): the page's self-check finds
// its elements laid out, the failure marker inside the plot, no request and
// no error, and a screenshot shows the failure in its colour.
#include <gtest/gtest.h>

#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "meminit/entry/config_table.h"
#include "meminit/hw/regs.h"
#include "tests/generated_file.h"
#include "tests/tovmem_process.h"
#include "tools/tovmem/report.h"

namespace tov::test::tovmem_report_test {
namespace {

size_t count(const std::string& hay, const std::string& needle) {
    size_t n = 0;
    for (size_t at = hay.find(needle); at != std::string::npos; at = hay.find(needle, at + 1)) ++n;
    return n;
}

// Every value of an attribute on the page, in order.
std::vector<std::string> attr_values(const std::string& html, const std::string& name) {
    std::vector<std::string> out;
    const std::string key = " " + name + "=\"";
    for (size_t at = html.find(key); at != std::string::npos; at = html.find(key, at + 1)) {
        const size_t from = at + key.size();
        out.push_back(html.substr(from, html.find('"', from) - from));
    }
    return out;
}

// The number a line of the tool's output names after `prefix` ("137 bus steps": prefix "" and suffix).
size_t number_after(const std::string& text, const std::string& prefix) {
    const size_t at = text.find(prefix);
    if (at == std::string::npos) return 0;
    return std::strtoul(text.c_str() + at + prefix.size(), nullptr, 10);
}

// The bus steps diff counts for a trace: "A: result 1, ..., 137 bus steps".
size_t bus_steps(const std::string& trace_path) {
    const Outcome d = run_tovmem("diff " + trace_path + " " + trace_path);
    const size_t line = d.out.find("\nA: ");
    const size_t end = d.out.find(" bus steps", line);
    if (line == std::string::npos || end == std::string::npos) return 0;
    const size_t from = d.out.rfind(", ", end) + 2;
    return std::strtoul(d.out.c_str() + from, nullptr, 10);
}

// The events of a page: every (first event, count) of its steps, as drawn.
void expect_every_event_once(const std::string& html, size_t events, const std::string& what) {
    const std::vector<std::string> first = attr_values(html, "data-e"), n = attr_values(html, "data-n");
    ASSERT_EQ(first.size(), n.size()) << what;
    std::vector<int> seen(events, 0);
    for (size_t k = 0; k < first.size(); ++k) {
        const size_t a = std::stoul(first[k]), c = std::stoul(n[k]);
        ASSERT_GE(c, 1u) << what;
        ASSERT_LE(a + c, events) << what << ": a step past the trace's events";
        for (size_t e = a; e < a + c; ++e) ++seen[e];
    }
    for (size_t e = 0; e < events; ++e) EXPECT_EQ(seen[e], 1) << what << ": event " << e;
}

// The bus-step numbers on the page (data-s), each once, 1 to n.
// The inside of a long wait is one mark that names its first and last (data-s0, data-s1).
void expect_bus_steps(const std::string& html, size_t n, const std::string& what) {
    std::vector<std::string> s = attr_values(html, "data-s");
    const std::vector<std::string> s0 = attr_values(html, "data-s0"), s1 = attr_values(html, "data-s1");
    ASSERT_EQ(s0.size(), s1.size());
    for (size_t k = 0; k < s0.size(); ++k)
        for (size_t v = std::stoul(s0[k]); v <= std::stoul(s1[k]); ++v) s.push_back(std::to_string(v));
    std::set<size_t> numbers;
    for (const std::string& v : s) numbers.insert(std::stoul(v));
    EXPECT_EQ(s.size(), n) << what;
    EXPECT_EQ(numbers.size(), n) << what;
    if (!numbers.empty()) {
        EXPECT_EQ(*numbers.begin(), 1u) << what;
        EXPECT_EQ(*numbers.rbegin(), n) << what;
    }
}

const std::string healthy = "--config 0x3000099 --clock 10";

std::vector<std::string> run_scenarios() {
    std::vector<std::string> s = {
        healthy,
        healthy + " --cmd-stuck-at 3",
        healthy + " --fb-corrupt 0=0x100",
        "--config 0x3000002 --clock 0 --unstable 0x43c",
        "--config 0 --clock 1 --power-mode 2",
        "--config 0 --clock 0xffff0001",
        "--config 0x1000054 --clock 10",
        healthy + " --cmd-latency 3 --clock-period 15.625 --clock-phase 3.2",
        healthy + " --no-aux --reg 0x43c=0x5",
    };
    const std::string image = TOV_KERNEL_IMAGE, caller = TOV_CAPTURE_IMAGE;
    if (!image.empty() && std::filesystem::exists(image)) {
        s.push_back("--image " + image + " " + healthy + " --cmd-stuck-at 5");
        if (std::filesystem::exists(caller)) s.push_back("--image " + image + " --caller " + caller + " " + healthy);
    }
    return s;
}

// ---- the page without a browser ----

TEST(TovmemReport, EveryEventOnceWithTheBusStepsCheckAndDiffNumber) {
    for (const std::string& args : run_scenarios()) {
        const Outcome page = run_tovmem("report " + args);
        ASSERT_EQ(page.status, 0) << args << ": " << page.err;
        const TempFile trace(run_tovmem("run " + args + " --format jsonl").out);
        const size_t events = lines(trace.read()).size() - 1;  // the result line is no event
        expect_every_event_once(page.out, events, args);
        expect_bus_steps(page.out, bus_steps(trace.path), args);
        // Where check says the call stopped, the page has that step, and the failure marked there.
        const Outcome check = run_tovmem("check " + args);
        const size_t stop = number_after(check.out, "the call stopped at bus step ");
        if (stop) {
            EXPECT_TRUE(has(page.out, "id=\"s" + std::to_string(stop) + "\"")) << args;
            EXPECT_TRUE(has(page.out, "stopped at</th><td>bus step " + std::to_string(stop) + ":")) << args;
        }
        const bool failed = run_tovmem("run " + args).status != 0;
        EXPECT_EQ(count(page.out, "class=\"failmark chk\""), failed ? 1u : 0u) << args;
    }
}

TEST(TovmemReport, HeaderSaysWhatTheCallWasAndHowItEnded) {
    const Outcome stuck = run_tovmem("report " + healthy + " --cmd-stuck-at 3");
    for (const char* s : {"<th>configuration ID</th><td>0x3000099</td>", "<th>clock_index</th><td>10</td>",
                          "<th>power_mode</th><td>0</td>", "res-fail\">0 (failed)</span>",
                          "<th>cause</th><td>DRAM command 3 (precharge all, count 1) not done after 101.0 ms: 202 of "
                          "202 polls saw it busy",
                          "<th>call length</th><td>142.500 ms", "<th>evidence</th><td>simulated chip",
                          "<th>tool</th><td>tovmem " TOV_VERSION "</td>", "meminit_varnel_"})
        EXPECT_TRUE(has(stuck.out, s)) << s;
    // The wait that gave up: its polls busy, and the inside of the 100 ms wait broken and labelled.
    // Every poll of the wait that gave up busy: the ones drawn alone and the ones inside its compressed mark.
    const size_t inside = number_after(stuck.out, "drawn compressed: ");
    EXPECT_GT(inside, 100u) << "the inside of the wait, one mark";
    EXPECT_EQ(count(stuck.out, "<rect class=\"poll busy\" x=") - 1 + inside, 202u);
    EXPECT_TRUE(has(stuck.out, "axis compressed: ")) << "the long wait is compressed";
    // The frame-buffer test: expected against read, the differing bit marked.
    const Outcome fb = run_tovmem("report " + healthy + " --fb-corrupt 0=0x100");
    EXPECT_TRUE(has(fb.out, "class=\"fbt bad\"")) << "the read-back that differs";
    EXPECT_TRUE(has(fb.out, "bits 0x100 differ"));
    EXPECT_TRUE(has(fb.out, "; with --fb-corrupt 0=0x100</td>")) << "the fault the chip was given";
    EXPECT_EQ(count(fb.out, "<span class=\"x\">"), 1u) << "one differing bit marked";
    // A register that never settled.
    const Outcome unstable = run_tovmem("report --config 0x3000002 --clock 0 --unstable 0x43c");
    EXPECT_TRUE(has(unstable.out, "class=\"rd bad\"")) << "the read that never settled";
    EXPECT_TRUE(has(unstable.out, "res-fail\">-1 (register access failed)"));
    // The simulated chip reads back what was written (the test client's slot aside).
    EXPECT_EQ(count(fb.out, "class=\"rd odd\""), 0u);
    // Rules pinned to their commands: the CKE-high NOP with its measured length.
    const Outcome ok = run_tovmem("report " + healthy);
    EXPECT_TRUE(has(ok.out, "data-rule=\"cke-high-200us\"")) << "the rule marked in the plot";
    EXPECT_TRUE(has(ok.out, "ok cke-high-200us 214.8 us")) << "its measured length";
    EXPECT_TRUE(has(ok.out, "res-ok\">1 (memory up)"));
    // The shipped image through its capture driver: where the evidence came from, and the driver's status.
    const std::string image = TOV_KERNEL_IMAGE, caller = TOV_CAPTURE_IMAGE;
    if (!image.empty() && std::filesystem::exists(caller)) {
        const Outcome through = run_tovmem("report --image " + image + " --caller " + caller + " " + healthy);
        EXPECT_TRUE(has(through.out, "<th>evidence</th><td>kernel image " + image +
                                         " in the emulator (x86), through "
                                         "the capture driver " +
                                         caller + "; "))
            << through.err;
        EXPECT_TRUE(has(through.out, "; capture driver status 0x00000000</td>"));
    }
    EXPECT_EQ(count(ok.out, "class=\"failmark"), 0u);
}

// A capture cut short, with messages and names that are markup: all of it text on the page.
std::string hostile_log(size_t keep_lines) {
    const std::string log = run_tovmem("run " + healthy + " --format log").out;
    std::string out;
    size_t n = 0;
    for (const std::string& l : lines(log)) {
        if (n++ >= keep_lines) break;
        if (has(l, "\"ev\":\"trace\""))
            out +=
                R"(tovmem: {"ev":"trace","call":"1000","msg":"<script>alert(1)</script></svg><img src=x onerror=alert(2)> & \"'"})"
                "\n";
        else
            out += l + "\n";
    }
    return out;
}

// The fields a step names on hover are regs.h's: a few registers written
// out by hand, every field of every register of the map named with its
// value, and a bring-up's page naming every field of each register it writes.
TEST(TovmemReport, HoverNamesTheFieldsOfTheRegisterMap) {
    EXPECT_EQ(tovmem::fields_text(0x810, 0x50000000), "\nfields: half_width 1, pulse_low 1, pulse_high 0");
    EXPECT_EQ(tovmem::fields_text(0x018, 0xc01700), "\nfields: hold_first 1, hold_second 1, rate 0x17, bit1 0");
    EXPECT_EQ(tovmem::fields_text(0x820, 0x11f1),
              "\nfields: start 1, closing 0, RAS#/CAS#/WE# 0x7, CKE 1, deselect 1, bank 0x1");
    EXPECT_EQ(tovmem::fields_text(0x824, 0x27100400), "\nfields: cycles 0x2710, address 0x400");
    EXPECT_EQ(tovmem::fields_text(0x880, 0x2042), "\nfields: off 0, on 1, bit6 1, pads 0x2");
    EXPECT_EQ(tovmem::fields_text(0x814, 0x5f70b38), "") << "a word written whole names no field";
    for (const reg::RegFields& r : reg::field_map)
        for (uint32_t i = 0; i < r.count; ++i) {
            const reg::NamedField& f = r.fields[i];
            const uint32_t top = f.mask >> __builtin_ctz(f.mask);
            char want[64];
            std::snprintf(want, sizeof want, top == 1 ? "%s 1" : "%s 0x%x", f.name, top);
            const std::string all = tovmem::fields_text(r.off, 0xffffffff);
            EXPECT_TRUE(has(all + ",", " " + std::string(want) + ",")) << reg::name_of(r.off) << ": " << all;
        }
    // On the page: each store to a register of the map names every field of it.
    const Outcome page = run_tovmem("report " + healthy);
    ASSERT_EQ(page.status, 0) << page.err;
    std::set<std::string> seen;
    for (size_t at = page.out.find("<title>"); at != std::string::npos; at = page.out.find("<title>", at + 1)) {
        const std::string tip = page.out.substr(at, page.out.find("</title>", at) - at);
        for (const reg::RegName& n : reg::names) {
            if (!has(tip, std::string("write ") + n.name + " ")) continue;
            const reg::RegFields r = reg::named_fields(n.off);
            if (r.count == 0) continue;
            seen.insert(n.name);
            for (uint32_t i = 0; i < r.count; ++i)
                EXPECT_TRUE(has(tip, std::string(i == 0 ? "fields: " : ", ") + r.fields[i].name + " "))
                    << n.name << " " << r.fields[i].name << ": " << tip;
        }
    }
    for (const char* name : {"SYS_000", "SYS_058", "CLKGEN_010", "BLK_43C", "DRC_CFG", "DRC_CMD", "DRC_CMD_WORD",
                             "DRC_LANE0", "DRC_880", "DRC_890", "DRC_TEST_CTRL"})
        EXPECT_TRUE(seen.count(name)) << "the bring-up writes " << name;
}

// A capture that starts late and ends early holds no record: the configuration is unknown, never 0.
TEST(TovmemReport, ACaptureWithoutItsRecordHasNoConfiguration) {
    const std::vector<std::string> log = lines(run_tovmem("run " + healthy + " --format log").out);
    std::string middle;
    for (size_t k = 40; k < 80; ++k) middle += log[k] + "\n";
    const TempFile f(middle);
    const Outcome o = run_tovmem("report " + f.path);
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(has(o.out, "<h2>configuration unknown</h2>"));
    EXPECT_TRUE(has(o.out, "<th>configuration ID</th><td>unknown: "));
    EXPECT_FALSE(has(o.out, "<th>configuration ID</th><td>0x0</td>"));
    EXPECT_TRUE(has(o.out, "res-unknown\">unknown</span>"));
    EXPECT_EQ(count(o.out, "class=\"nc chk\""), 2u) << "not captured before and after";
    EXPECT_EQ(count(o.out, "class=\"failmark"), 0u);
}

// A register that reads back other than it was written, as a board's may: marked, with both values.
TEST(TovmemReport, AReadOfOtherThanWasWrittenIsMarked) {
    const std::string result =
        R"({"ev":"result","ret":1,"config_id":50331801,"clock_index":10,"mem_size":0,"bus_flag":0,"mode_flag":0,)"
        R"("power_mode":0,"mem_clock_khz":0,"mem_size_out":0,"map_value":0,"reserved":[0,0,0,0,0],"t":0,"elapsed":0})";
    std::string trace = R"({"ev":"store","off":2064,"val":5,"t":0})"
                        "\n";
    for (int k = 0; k < 3; ++k)
        trace += R"({"ev":"load","off":2064,"val":7,"t":0})"
                 "\n";
    for (int k = 0; k < 3; ++k)
        trace += R"({"ev":"load","off":2064,"val":5,"t":0})"
                 "\n";
    const TempFile f(trace + result + "\n");
    const Outcome o = run_tovmem("report " + f.path);
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(count(o.out, "class=\"rd odd\""), 1u) << "the first read, 7; the second, 5, is as written";
    EXPECT_TRUE(has(o.out, "unexpected: the value last written was 0x00000005 (bits 0x2 differ)"));
}

TEST(TovmemReport, EverythingFromAFileIsText) {
    const std::string dir = ::testing::TempDir() + "report_escape_" + std::to_string(getpid()) + "/";
    std::filesystem::create_directories(dir);
    const std::string log_path = dir + "cap<i>&\"x.log";
    std::ofstream(log_path) << hostile_log(60);
    const std::string trace_path = dir + "t<b>.jsonl";
    std::ofstream(trace_path)
        << R"({"ev":"trace","msg":"</svg></style><script>evil()</script>","t":0})"
           "\n"
        << R"({"ev":"store","off":2080,"val":0,"t":0})"
           "\n"
        << R"({"ev":"result","ret":null,"unknown":"<script>evil()</script>","config_id":50331801,"clock_index":10,)"
           R"("mem_size":0,"bus_flag":0,"mode_flag":0,"power_mode":0,"mem_clock_khz":0,"mem_size_out":0,"map_value":0,)"
           R"("reserved":[0,0,0,0,0],"t":0,"elapsed":0})"
           "\n";
    for (const std::string& args : {"report '" + log_path + "'", "report '" + trace_path + "'",
                                    "report '" + log_path + "' '" + trace_path + "'"}) {
        const Outcome o = run_tovmem(args);
        ASSERT_EQ(o.status, 0) << args << ": " << o.err;
        const std::string& p = o.out;
        EXPECT_EQ(count(p, "<script"), 1u) << args << ": only the page's own script";
        EXPECT_EQ(count(p, "</script"), 1u) << args;
        EXPECT_EQ(count(p, "<style"), 1u) << args;
        EXPECT_EQ(count(p, "</style"), 1u) << args;
        EXPECT_EQ(count(p, "<svg"), count(p, "</svg>")) << args;
        EXPECT_EQ(count(p, "<img"), 0u) << args;
        EXPECT_EQ(count(p, "<i>"), 0u) << args;
        EXPECT_EQ(count(p, "<b>"), 0u) << args;
        EXPECT_TRUE(has(p, "&lt;script&gt;")) << args;
    }
    const Outcome log = run_tovmem("report '" + log_path + "'");
    EXPECT_TRUE(has(log.out,
                    "&lt;script&gt;alert(1)&lt;/script&gt;&lt;/svg&gt;&lt;img src=x onerror=alert(2)&gt; &amp; "
                    "&quot;&#39;"))
        << "the message, as text";
    EXPECT_TRUE(has(log.out, "cap&lt;i&gt;&amp;&quot;x.log")) << "the file name, as text";
    std::filesystem::remove_all(dir);
}

// No address outside the page: links only to its own elements, patterns by fragment.
TEST(TovmemReport, NothingOutsideThePageAndItsPolicyNamesItsOwnStyleAndScript) {
    const Outcome o = run_tovmem("report " + healthy + " --cmd-stuck-at 3");
    const std::string& p = o.out;
    for (const std::string& v : attr_values(p, "href")) EXPECT_EQ(v.substr(0, 1), "#") << v;
    EXPECT_EQ(attr_values(p, "src").size(), 0u);
    EXPECT_EQ(count(p, "http:"), 0u);
    EXPECT_EQ(count(p, "https:"), 0u);
    EXPECT_EQ(count(p, "@import"), 0u);
    EXPECT_EQ(count(p, "url("), count(p, "url(#")) << "only patterns of the page itself";
    EXPECT_EQ(count(p, " style=\""), 0u) << "inline style attributes would need 'unsafe-inline'";
    // The policy's digests are those of the style and script the page holds,
    // computed here by another implementation (openssl).
    auto between = [&](const std::string& a, const std::string& b) {
        const size_t from = p.find(a) + a.size();
        return p.substr(from, p.find(b, from) - from);
    };
    const std::string csp = between("http-equiv=\"Content-Security-Policy\" content=\"", "\"");
    EXPECT_EQ(csp.rfind("default-src 'none'; ", 0), 0u) << csp;
    for (const auto& [tag, directive] : {std::pair{std::string("style"), std::string("style-src")},
                                         std::pair{std::string("script"), std::string("script-src")}}) {
        const TempFile body(between("<" + tag + ">", "</" + tag + ">"));
        const Outcome digest = run_shell("openssl dgst -sha256 -binary " + body.path + " | openssl base64 -A");
        ASSERT_EQ(digest.status, 0) << digest.err;
        EXPECT_TRUE(has(csp, directive + " 'sha256-" + digest.out + "'")) << csp << " / " << digest.out;
    }
}

TEST(TovmemReport, ComparisonIsAlignedAsDiffAlignsIt) {
    const TempFile a(run_tovmem("run " + healthy + " --format jsonl").out);
    const TempFile b(run_tovmem("run --config 0x3000020 --clock 10 --format jsonl").out);
    const Outcome diff = run_tovmem("diff " + a.path + " " + b.path);
    const size_t first = number_after(diff.out, "first difference at bus step ");
    ASSERT_GT(first, 0u) << diff.out;
    const Outcome page = run_tovmem("report " + a.path + " " + b.path);
    ASSERT_EQ(page.status, 0) << page.err;
    EXPECT_TRUE(has(page.out, "first difference: bus step " + std::to_string(first) + "</text>"));
    EXPECT_EQ(count(page.out, "class=\"firstdiff chk\""), 1u);
    // As many shaded columns as diff prints changed and inserted steps.
    const size_t changed = count(diff.out, "\n~ "), only = count(diff.out, "\n- ") + count(diff.out, "\n+ ");
    EXPECT_EQ(count(page.out, "<rect class=\"dchg\""), changed);
    EXPECT_EQ(count(page.out, "<rect class=\"donly\""), only);
    // Both sides' steps, each once, numbered as on their own.
    std::string pa, pb;
    for (const std::string& id : attr_values(page.out, "id")) {
        if (id.rfind("a-s", 0) == 0) pa += id + " ";
        if (id.rfind("b-s", 0) == 0) pb += id + " ";
    }
    EXPECT_EQ(count(pa, "a-s"), bus_steps(a.path));
    EXPECT_EQ(count(pb, "b-s"), bus_steps(b.path));
    EXPECT_TRUE(has(pa, "a-s" + std::to_string(first) + " "));
    // A run against the capture of the same call cut short: what the capture
    // does not hold is not captured, never a difference.
    const std::string log = run_tovmem("run " + healthy + " --format log").out;
    std::string cut;
    for (size_t k = 0; k < 60; ++k) cut += lines(log)[k] + "\n";
    const TempFile capture(cut);
    const Outcome partial = run_tovmem("report " + healthy + " " + capture.path);
    ASSERT_EQ(partial.status, 0) << partial.err;
    EXPECT_TRUE(has(partial.out, "no difference in the steps both captures hold"));
    EXPECT_EQ(count(partial.out, "<rect class=\"dchg\""), 0u);
    EXPECT_EQ(count(partial.out, "<rect class=\"donly\""), 0u);
    EXPECT_GE(count(partial.out, "class=\"nc chk\""), 1u);
    EXPECT_EQ(count(partial.out, "class=\"failmark"), 0u);
}

// diff --format html draws what diff compares, two runs included, with diff's status.
TEST(TovmemReport, DiffDrawsTwoRunsAsItComparesThem) {
    const std::string runs = "diff --config 0x3000099 --clock 10 --config 0x3000020 --clock 10";
    const Outcome text = run_tovmem(runs);
    const Outcome page = run_tovmem(runs + " --format html");
    EXPECT_EQ(page.status, text.status);
    EXPECT_EQ(page.status, 1);
    const size_t first = number_after(text.out, "first difference at bus step ");
    ASSERT_GT(first, 0u);
    EXPECT_TRUE(has(page.out, "first difference: bus step " + std::to_string(first) + "</text>"));
    EXPECT_EQ(count(page.out, "<rect class=\"dchg\""), count(text.out, "\n~ "));
    const Outcome same = run_tovmem("diff --config 0x3000099 --clock 10 --format html");
    EXPECT_EQ(same.status, 0);
    EXPECT_TRUE(has(same.out, "identical: ")) << "the verdict diff prints";
    EXPECT_EQ(count(same.out, "class=\"firstdiff"), 0u);
    expect_refused("diff --config 0x3000099 --clock 10 --format pdf", "--format is text or html, not 'pdf'");
}

TEST(TovmemReport, EachCallOfALogInItsOwnSection) {
    const std::string bad = run_tovmem("run " + healthy + " --cmd-stuck-at 3 --format log").out;
    const std::string good = run_tovmem("run " + healthy + " --format log").out;
    const TempFile log(bad + good);
    const Outcome all = run_tovmem("report " + log.path);
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(count(all.out, "<section class=\"call\""), 2u);
    EXPECT_EQ(count(all.out, "class=\"failmark chk\""), 1u) << "the first call failed, the second did not";
    const TempFile bad_trace(run_tovmem("run " + healthy + " --cmd-stuck-at 3 --format jsonl").out);
    const TempFile good_trace(run_tovmem("run " + healthy + " --format jsonl").out);
    const size_t second_section = all.out.find("<section class=\"call\" id=\"c2-call\"");
    ASSERT_NE(second_section, std::string::npos);
    expect_bus_steps(all.out.substr(0, second_section), bus_steps(bad_trace.path), "call 1");
    expect_bus_steps(all.out.substr(second_section), bus_steps(good_trace.path), "call 2");
    EXPECT_TRUE(has(all.out, "id=\"c1-s1\"") && has(all.out, "id=\"c2-s1\"")) << "each call's steps named apart";
    const Outcome second = run_tovmem("report --call 2 " + log.path);
    EXPECT_EQ(count(second.out, "<section class=\"call\""), 1u);
    expect_bus_steps(second.out, bus_steps(good_trace.path), "--call 2");
    EXPECT_TRUE(has(second.out, ", call 2</td>"));
}

TEST(TovmemReport, RefusesWhatItCannotDraw) {
    expect_refused("report", "report needs --config ID --clock N, a trace file, or two of them");
    expect_refused("report --config 0x3000099", "report of a run needs both --config ID and --clock N");
    expect_refused("report a b c", "report draws one bring-up or compares two, not 3");
    expect_refused("report - -", "report reads one trace from standard input ('-'), not both");
    expect_refused("report --call 2 " + healthy, "--call chooses a call of a trace file or log");
    expect_refused("report /nonexistent/x", "cannot read trace file '/nonexistent/x'");
}

// The longest call a healthy chip makes, and the longest reserved path, drawn well under 5 MB.
TEST(TovmemReport, LongestCallsMakeSmallPages) {
    struct Longest {
        size_t events = 0;
        tovmem::RunOptions o;
    } call, reserved;
    for (Family f : {Family::halden, Family::orlit, Family::varnel}) {
        const ConfigTable t = family_table(f);
        std::vector<uint32_t> clocks;
        for (uint32_t c = 0; c <= 13; ++c) clocks.push_back(c);
        const ClockList r = reserved_clocks(f);
        for (uint32_t c : r) clocks.push_back(c);
        for (uint32_t row = 0; row < t.count; ++row)
            for (uint32_t clock : clocks)
                for (uint32_t mode = 0; mode < (f == Family::halden ? 4u : 1u); ++mode) {
                    tovmem::RunOptions o;
                    o.req.config_id = t.rows[row].id;
                    o.req.clock_index = clock;
                    o.req.power_mode = mode;
                    o.req.keep = sim::Simulator::Keep::events;
                    const sim::RunResult res = sim::run_bring_up(o.req);
                    Longest& l = clock <= 13 ? call : reserved;
                    if ((clock > 13 || res.ret == 1) && res.events.size() > l.events) l = {res.events.size(), o};
                }
    }
    for (const auto& [what, l] :
         {std::pair{"longest healthy call", call}, std::pair{"longest reserved path", reserved}}) {
        ASSERT_GT(l.events, 0u) << what;
        const auto t0 = std::chrono::steady_clock::now();
        const std::string page = tovmem::report_html({{tovmem::run_bringup(l.o), 0}});
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf(
            "report of the %s (config 0x%x, clock_index 0x%x, power_mode %u, %zu events): %zu bytes in %.3f s\n", what,
            l.o.req.config_id, l.o.req.clock_index, l.o.req.power_mode, l.events, page.size(), s);
        EXPECT_LT(page.size(), 2u << 20) << what;
        expect_every_event_once(page, l.events, what);
    }
}

// ---- in a real browser ----

const char* chromium = "/usr/bin/chromium";

// A directory of its own, removed with it: the browser's profile and the page.
struct TempDir {
    std::string path;
    TempDir() {
        std::string tmpl = ::testing::TempDir() + "tovmem_browser_XXXXXX";
        path = mkdtemp(tmpl.data()) ? tmpl : "";
    }
    ~TempDir() {
        if (!path.empty()) std::filesystem::remove_all(path);
    }
};

std::string browser(const TempDir& d, const std::string& what) {
    return std::string("timeout 120 ") + chromium +
           " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking "
           "--disable-component-update --disable-sync --enable-logging=stderr --v=0 --user-data-dir=" +
           d.path + "/profile " + what;
}

// The console's errors and refused requests in the browser's log; the
// system's own complaints (no D-Bus in a container) are not the page's.
std::vector<std::string> page_errors(const std::string& log) {
    std::vector<std::string> out;
    for (const std::string& l : lines(log))
        if (has(l, "CONSOLE") || has(l, "Refused to") || has(l, "Uncaught") || has(l, "Content Security Policy"))
            out.push_back(l);
    return out;
}

std::string strf_steps(size_t failure_markers, size_t steps) {
    return "failure markers " + std::to_string(failure_markers) + ", inside " + std::to_string(failure_markers) +
           ", steps " + std::to_string(steps);
}

struct Scenario {
    const char* name;
    const char* args;  // with {log}, {cut}, {a}, {b} for the files made here
    size_t failure_markers;
};
void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

class ReportInBrowser : public ::testing::TestWithParam<Scenario> {};

TEST_P(ReportInBrowser, SelfCheckPassesWithoutRequestOrError) {
    if (access(chromium, X_OK) != 0)
        GTEST_SKIP() << chromium
                     << " is not installed (Debian package chromium): the "
                        "reports are not opened in a browser";
    const Scenario& sc = GetParam();
    const std::string image = TOV_KERNEL_IMAGE;
    TempDir d;
    ASSERT_FALSE(d.path.empty());
    auto put = [&](const std::string& name, const std::string& text) {
        std::ofstream(d.path + "/" + name) << text;
        return d.path + "/" + name;
    };
    std::string args = sc.args;
    auto subst = [&](const std::string& key, const std::string& value) {
        for (size_t at = args.find(key); at != std::string::npos; at = args.find(key))
            args.replace(at, key.size(), value);
    };
    if (has(args, "{log}"))
        subst("{log}", put("two.log", run_tovmem("run " + healthy + " --cmd-stuck-at 3 --format log").out +
                                          run_tovmem("run " + healthy + " --format log").out));
    subst("{image}", !image.empty() && std::filesystem::exists(image) ? "--image " + image : "");
    if (has(args, "{cut}")) subst("{cut}", put("cut.log", hostile_log(60)));
    if (has(args, "{b}"))
        subst("{b}", put("b.jsonl", run_tovmem("run --config 0x3000020 --clock 10 --format jsonl").out));
    // A report, or diff's page (status 1: the two differ).
    const bool diff = args.rfind("diff ", 0) == 0;
    const Outcome page = run_tovmem(diff ? args : "report " + args);
    ASSERT_EQ(page.status, diff ? 1 : 0) << args << ": " << page.err;
    const std::string html = put("report.html", page.out);
    const size_t steps = attr_values(page.out, "data-s").size();
    const Outcome dom = run_shell(browser(d, "--dump-dom 'file://" + html + "#selfcheck'"));
    ASSERT_EQ(dom.status, 0) << dom.err;
    const size_t at = dom.out.find("<p id=\"selfcheck\"");
    ASSERT_NE(at, std::string::npos) << dom.out.substr(0, 400);
    const std::string result = dom.out.substr(at, dom.out.find("</p>", at) - at);
    EXPECT_TRUE(has(result, "data-ok=\"1\"")) << result;
    EXPECT_TRUE(has(result, strf_steps(sc.failure_markers, steps))) << result;
    EXPECT_TRUE(has(result, ", bad 0,")) << result;
    EXPECT_TRUE(has(result, "resources 0, errors 0")) << result;
    EXPECT_GE(number_after(result, "selfcheck: elements "), 4u) << result;
    EXPECT_EQ(page_errors(dom.err), std::vector<std::string>{}) << dom.err;
}

// A healthy call (of the shipped image, when built), a stuck command in a
// log of two calls, a wrong read-back, a capture cut short (its messages
// markup), that capture against the run of the same call, and two runs
// compared (their first difference marked).
INSTANTIATE_TEST_SUITE_P(
    Pages, ReportInBrowser,
    ::testing::Values(Scenario{"healthy_call", "{image} --config 0x3000099 --clock 10", 0},
                      Scenario{"stuck_command_in_a_log_of_two_calls", "{log}", 1},
                      Scenario{"wrong_read_back", "--config 0x3000099 --clock 10 --fb-corrupt 0=0x100", 1},
                      Scenario{"cut_capture", "{cut}", 0},
                      Scenario{"cut_capture_against_the_run", "{cut} --config 0x3000099 --clock 10", 0},
                      Scenario{"two_runs_compared",
                               "diff --format html --config 0x3000099 --clock 10 --config 0x3000020 --clock 10", 0}),
    [](const ::testing::TestParamInfo<Scenario>& i) { return std::string(i.param.name); });

// The self-check fails a page whose marked element has no size, whose
// failure marker lies outside the plot, or that asks for a resource.
TEST(ReportSelfCheck, FailsAPageLaidOutWrongly) {
    if (access(chromium, X_OK) != 0) GTEST_SKIP() << chromium << " is not installed (Debian package chromium)";
    TempDir d;
    ASSERT_FALSE(d.path.empty());
    std::string page = run_tovmem("report " + healthy + " --cmd-stuck-at 3").out;
    const std::string mark = "<rect class=\"failmark chk\" x=\"";
    const size_t at = page.find(mark);
    ASSERT_NE(at, std::string::npos);
    page.replace(at + mark.size(), page.find('"', at + mark.size()) - at - mark.size(), "-900");
    page.replace(page.find("<p id=\"selfcheck\""), 0, "<p class=\"chk\"></p><img src=\"x.png\" alt=\"\">");
    const std::string html = d.path + "/wrong.html";
    std::ofstream(html) << page;
    const Outcome dom = run_shell(browser(d, "--dump-dom 'file://" + html + "#selfcheck'"));
    ASSERT_EQ(dom.status, 0) << dom.err;
    const size_t p = dom.out.find("<p id=\"selfcheck\"");
    ASSERT_NE(p, std::string::npos);
    const std::string result = dom.out.substr(p, dom.out.find("</p>", p) - p);
    EXPECT_TRUE(has(result, "data-ok=\"0\"")) << result;
    EXPECT_TRUE(has(result, "zero size: P.chk")) << result;
    EXPECT_TRUE(has(result, "failure markers 1, inside 0")) << result;
    EXPECT_FALSE(page_errors(dom.err).empty()) << "the blocked image is in the browser's log";
}

// The pixels of a PNG as Chromium writes a screenshot (8-bit RGB or RGBA, not
// interlaced), or empty when it is not one.
struct Image {
    uint32_t w = 0, h = 0, channels = 0;
    std::vector<uint8_t> px;
};

uint32_t be32(const std::string& s, size_t at) {
    return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 | uint32_t(uint8_t(s[at + 2])) << 8 |
           uint8_t(s[at + 3]);
}

Image decode_png(const std::string& f) {
    Image img;
    if (f.size() < 33 || f.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {};
    std::string idat;
    uint8_t depth = 0, type = 0, interlace = 0;
    for (size_t at = 8; at + 12 <= f.size();) {
        const uint32_t len = be32(f, at);
        if (at + 12 + len > f.size()) return {};
        const std::string kind = f.substr(at + 4, 4);
        if (kind == "IHDR") {
            img.w = be32(f, at + 8);
            img.h = be32(f, at + 12);
            depth = uint8_t(f[at + 16]);
            type = uint8_t(f[at + 17]);
            interlace = uint8_t(f[at + 20]);
        } else if (kind == "IDAT") {
            idat += f.substr(at + 8, len);
        }
        at += 12 + len;
    }
    if (depth != 8 || (type != 2 && type != 6) || interlace || img.w == 0 || img.h == 0 || img.w > 8192 || img.h > 8192)
        return {};
    img.channels = type == 6 ? 4 : 3;
    const size_t stride = size_t(img.w) * img.channels;
    std::vector<uint8_t> raw((stride + 1) * img.h);
    uLongf n = raw.size();
    if (uncompress(raw.data(), &n, reinterpret_cast<const Bytef*>(idat.data()), idat.size()) != Z_OK || n != raw.size())
        return {};
    img.px.assign(stride * img.h, 0);
    const size_t bpp = img.channels;
    for (uint32_t y = 0; y < img.h; ++y) {
        const uint8_t filter = raw[y * (stride + 1)];
        const uint8_t* in = &raw[y * (stride + 1) + 1];
        uint8_t* row = &img.px[y * stride];
        const uint8_t* up = y ? &img.px[(y - 1) * stride] : nullptr;
        for (size_t x = 0; x < stride; ++x) {
            const int a = x >= bpp ? row[x - bpp] : 0, b = up ? up[x] : 0, c = (up && x >= bpp) ? up[x - bpp] : 0;
            int v = in[x];
            switch (filter) {
            case 1: v += a; break;
            case 2: v += b; break;
            case 3: v += (a + b) / 2; break;
            case 4: {
                const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                v += pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
                break;
            }
            default: break;
            }
            row[x] = uint8_t(v);
        }
    }
    return img;
}

TEST(ReportScreenshot, ShowsThePlotAndTheFailureInItsColour) {
    if (access(chromium, X_OK) != 0) GTEST_SKIP() << chromium << " is not installed (Debian package chromium)";
    TempDir d;
    ASSERT_FALSE(d.path.empty());
    const std::string html = d.path + "/stuck.html", png = d.path + "/stuck.png";
    std::ofstream(html) << run_tovmem("report " + healthy + " --cmd-stuck-at 3").out;
    const Outcome shot = run_shell(browser(d, "--window-size=1240,1000 --screenshot=" + png + " file://" + html));
    ASSERT_EQ(shot.status, 0) << shot.err;
    EXPECT_EQ(page_errors(shot.err), std::vector<std::string>{}) << shot.err;
    std::ifstream f(png, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const Image img = decode_png(bytes);
    ASSERT_EQ(img.w, 1240u) << "not a PNG of the window's size";
    ASSERT_EQ(img.h, 1000u);
    size_t marked = 0, failure = 0;
    std::set<uint32_t> colours;
    for (size_t i = 0; i + 2 < img.px.size(); i += img.channels) {
        const uint8_t r = img.px[i], g = img.px[i + 1], b = img.px[i + 2];
        colours.insert(uint32_t(r) << 16 | uint32_t(g) << 8 | b);
        marked += r < 200 || g < 200 || b < 200;
        failure += r > 200 && g < 40 && b > 200;  // the failure marker's magenta
    }
    const size_t pixels = size_t(img.w) * img.h;
    EXPECT_GT(marked * 50, pixels) << "under 2% of the screenshot is drawn";
    EXPECT_GT(colours.size(), 8u);
    EXPECT_GT(failure, 50u) << "the failure marker is not on the screen";
}

// The release archive's sample and the picture in docs/tovmem.md are the
// page of one failing call: the sample as tovmem writes it now, the picture
// a screenshot of it with the failure on screen.
const std::string sample_args = healthy + " --cmd-latency 3 --fb-corrupt 0=0x100";

TEST(GeneratedToolDocs, SampleReportIsWhatTovmemWrites) {
    const Outcome o = run_tovmem("report " + sample_args);
    ASSERT_EQ(o.status, 0) << o.err;
    generated::expect_file("docs/tovmem_sample_report.html", o.out);
    const std::string doc = generated::read_text(generated::source_path("docs/tovmem.md"));
    EXPECT_TRUE(has(doc, "(`--cmd-latency 3 --fb-corrupt\n0=0x100`)")) << "docs/tovmem.md names the sample's run";
}

TEST(TovmemReport, DocumentedScreenshotShowsAFailure) {
    const std::string bytes = generated::read_text(generated::source_path("docs/tovmem_report.png"));
    const Image img = decode_png(bytes);
    ASSERT_EQ(img.w, 1240u) << "docs/tovmem_report.png is not the screenshot of a report";
    size_t failure = 0;
    for (size_t i = 0; i + 2 < img.px.size(); i += img.channels)
        failure += img.px[i] > 200 && img.px[i + 1] < 40 && img.px[i + 2] > 200;
    EXPECT_GT(failure, 50u);
}

}  // namespace
}  // namespace tov::test::tovmem_report_test
