// SPDX-License-Identifier: Apache-2.0
// What Windows and a team's release checks see beyond the images' code: the
// CET-compatible mark of the x64 images, the version resource that tells a
// diagnostic image from a release one, the test certificate's validity
// against the signing time its signatures carry, the sample INF's
// installation on every Windows the kit claims, and the build number a
// clone that cannot count its commits refuses to guess. The PE headers are
// read here byte by byte, apart from the project's loader and linker flags.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "sim/image/pe_image.h"
#include "tests/kernel_builds.h"
#include "tests/tovmem_process.h"

namespace tov::test::kit_release {
namespace {

uint32_t le(const std::vector<uint8_t>& f, size_t off, size_t n) {
    uint32_t v = 0;
    for (size_t i = 0; i < n && off + i < f.size(); ++i) v |= uint32_t(f[off + i]) << (8 * i);
    return v;
}

// The headers as the PE format lays them out.
struct Pe {
    const std::vector<uint8_t>& f;
    uint32_t nt() const { return le(f, 0x3c, 4); }
    uint32_t optional() const { return nt() + 24; }
    bool plus() const { return le(f, optional(), 2) == 0x20b; }
    uint32_t time_stamp() const { return le(f, nt() + 8, 4); }
    // Data directory n: RVA and size.
    uint32_t directory(uint32_t n, uint32_t field) const {
        return le(f, optional() + (plus() ? 112 : 96) + 8 * n + field, 4);
    }
    struct Section {
        std::string name;
        uint32_t rva, virtual_size, raw_size, raw_at;
    };
    std::vector<Section> sections() const {
        std::vector<Section> out;
        const uint32_t count = le(f, nt() + 6, 2), at = optional() + le(f, nt() + 20, 2);
        for (uint32_t i = 0; i < count && at + 40 * (i + 1) <= f.size(); ++i) {
            const uint32_t s = at + 40 * i;
            out.push_back(
                {std::string(reinterpret_cast<const char*>(&f[s]), strnlen(reinterpret_cast<const char*>(&f[s]), 8)),
                 le(f, s + 12, 4), le(f, s + 8, 4), le(f, s + 16, 4), le(f, s + 20, 4)});
        }
        return out;
    }
    // File offset of an RVA inside a section's raw data, or 0.
    uint32_t offset_of(uint32_t rva) const {
        for (const Section& s : sections())
            if (rva >= s.rva && rva < s.rva + std::min(s.virtual_size, s.raw_size)) return s.raw_at + (rva - s.rva);
        return 0;
    }
};

// Every debug directory entry: type, time stamp, and the first word of its data.
struct DebugEntry {
    uint32_t type, time_stamp, size, first_word;
};
std::vector<DebugEntry> debug_entries(const std::vector<uint8_t>& f) {
    const Pe pe{f};
    std::vector<DebugEntry> out;
    const uint32_t rva = pe.directory(6, 0), size = pe.directory(6, 4), at = pe.offset_of(rva);
    if (!at) return out;
    for (uint32_t e = at; e + 28 <= at + size && e + 28 <= f.size(); e += 28)
        out.push_back({le(f, e + 12, 4), le(f, e + 4, 4), le(f, e + 16, 4), le(f, le(f, e + 24, 4), 4)});
    return out;
}

// IMAGE_DEBUG_TYPE_EX_DLLCHARACTERISTICS and its CET_COMPAT bit.
constexpr uint32_t debug_type_ex_dllcharacteristics = 20, ex_cet_compat = 0x1;

bool cet_compatible(const std::vector<uint8_t>& f) {
    for (const DebugEntry& e : debug_entries(f))
        if (e.type == debug_type_ex_dllcharacteristics && e.size >= 4 && (e.first_word & ex_cet_compat)) return true;
    return false;
}

std::string readobj(const std::string& args, const std::string& path) {
    return run_shell(std::string(TOV_LLVM_READOBJ) + " " + args + " '" + path + "'").out;
}

struct Image {
    const char* name;
    const char* path;
    bool x64, diagnostic;
};
const Image images[] = {{"x86", TOV_KERNEL_IMAGE, false, false},
                        {"x64", TOV_KERNEL_IMAGE_X64, true, false},
                        {"x86_diag", TOV_DIAG_IMAGE, false, true},
                        {"x64_diag", TOV_DIAG_IMAGE_X64, true, true}};
void PrintTo(const Image& i, std::ostream* os) { *os << i.name; }

class ImageRelease : public ::testing::TestWithParam<Image> {
protected:
    void SetUp() override { TOV_REQUIRE_BUILD(GetParam().path); }
    const std::vector<uint8_t>& file() const { return file_bytes(GetParam().path); }
};
INSTANTIATE_TEST_SUITE_P(Images, ImageRelease, ::testing::ValuesIn(images),
                         [](const auto& info) { return std::string(info.param.name); });

// Windows keeps kernel-mode shadow stacks off while a driver without the
// mark is installed: both x64 images carry it, after the link, with the
// checksum still valid and the entry dated as the image.
// The mark is for the x64 kernel's shadow stacks: the two x64 images.
class X64Release : public ImageRelease {};
INSTANTIATE_TEST_SUITE_P(Images, X64Release, ::testing::Values(images[1], images[3]),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(X64Release, ImageIsMarkedCetCompatible) {
    const std::vector<uint8_t>& f = file();
    ASSERT_TRUE(cet_compatible(f)) << GetParam().name << ": no CET-compatible mark in the debug directory";
    for (const DebugEntry& e : debug_entries(f)) EXPECT_EQ(e.time_stamp, Pe{f}.time_stamp()) << "entry type " << e.type;
    EXPECT_EQ(le(f, sim::image::checksum_offset(f), 4), sim::image::pe_checksum(f));
    // LLVM's reader agrees.
    EXPECT_NE(readobj("--coff-debug-directory", GetParam().path).find("IMAGE_DLL_CHARACTERISTICS_EX_CET_COMPAT"),
              std::string::npos);
    // The test-signed copy keeps it (the signature is appended, the headers stay).
    const std::filesystem::path dir = std::filesystem::path(TOV_KERNEL_IMAGE).parent_path() / "test-signed";
    const std::string copy = (dir / (GetParam().diagnostic ? "x64-diag" : "x64") / "tovmem.sys").string();
    EXPECT_TRUE(cet_compatible(file_bytes(copy))) << copy;
    std::printf("%s tovmem.sys: %zu debug entries, CET-compatible mark set\n", GetParam().name,
                debug_entries(f).size());
}

TEST(CaptureDriver, X64SampleIsMarkedCetCompatible) {
    TOV_REQUIRE_BUILD(TOV_CAPTURE_IMAGE_X64);
    EXPECT_TRUE(cet_compatible(file_bytes(TOV_CAPTURE_IMAGE_X64)));
    // A file without the entry is told apart: the x86 image has none.
    TOV_REQUIRE_BUILD(TOV_KERNEL_IMAGE);
    EXPECT_FALSE(cet_compatible(file_bytes(TOV_KERNEL_IMAGE)));
}

// Every export by name, and its RVA, read from the export directory.
std::map<std::string, uint32_t> exports_of(const std::vector<uint8_t>& f) {
    const Pe pe{f};
    std::map<std::string, uint32_t> out;
    const uint32_t dir = pe.offset_of(pe.directory(0, 0));
    if (!dir) return out;
    const uint32_t names = le(f, dir + 24, 4), functions = pe.offset_of(le(f, dir + 28, 4)),
                   name_rvas = pe.offset_of(le(f, dir + 32, 4)), ordinals = pe.offset_of(le(f, dir + 36, 4));
    for (uint32_t i = 0; i < names && i < 64; ++i) {
        const uint32_t at = pe.offset_of(le(f, name_rvas + 4 * i, 4));
        if (!at || at >= f.size()) continue;
        const std::string name(reinterpret_cast<const char*>(&f[at]),
                               strnlen(reinterpret_cast<const char*>(&f[at]), std::min<size_t>(64, f.size() - at)));
        out[name] = le(f, functions + 4 * le(f, ordinals + 2 * i, 2), 4);
    }
    return out;
}

// A debugger's breakpoint on one entry point stops there alone: the entry
// point and the three exports at four addresses, in every image.
TEST_P(ImageRelease, EntryPointsHaveDistinctAddresses) {
    const std::vector<uint8_t>& f = file();
    std::map<std::string, uint32_t> at = exports_of(f);
    ASSERT_EQ(at.size(), 3u) << GetParam().name;
    at["(entry point)"] = le(f, Pe{f}.optional() + 16, 4);
    std::set<uint32_t> distinct;
    std::string listed;
    for (const auto& [name, rva] : at) {
        EXPECT_NE(rva, 0u) << name;
        distinct.insert(rva);
        char line[96];
        std::snprintf(line, sizeof line, " %s %#x", name.c_str(), rva);
        listed += line;
    }
    EXPECT_EQ(distinct.size(), 4u) << GetParam().name << ":" << listed;
    for (const char* e : {"DllInitialize", "DllUnload", "tov_mem_init"}) EXPECT_EQ(at.count(e), 1u) << e;
    std::printf("%s:%s\n", GetParam().name, listed.c_str());
}

// A UTF-16 string of the resource data as a std::string (ASCII), from `at`
// to its terminating NUL.
std::string utf16_at(const std::vector<uint8_t>& r, size_t at) {
    std::string s;
    for (; at + 1 < r.size() && (r[at] || r[at + 1]); at += 2) s += char(r[at]);
    return s;
}

// The value of a StringFileInfo entry: the key, NUL, padding, the value.
std::string version_string(const std::vector<uint8_t>& r, const std::string& key, bool* found) {
    std::vector<uint8_t> w;
    for (char c : key) w.insert(w.end(), {uint8_t(c), 0});
    w.insert(w.end(), {0, 0});
    const auto it = std::search(r.begin(), r.end(), w.begin(), w.end());
    *found = it != r.end();
    if (!*found) return "";
    size_t at = size_t(it - r.begin()) + w.size();
    while (at + 1 < r.size() && !r[at] && !r[at + 1]) at += 2;
    return utf16_at(r, at);
}

// The diagnostic images say so where Explorer, sigcheck and an inventory
// tool look; the release images say nothing of the kind.
TEST_P(ImageRelease, VersionResourceTellsADiagnosticImageFromARelease) {
    const std::vector<uint8_t>& f = file();
    const Pe pe{f};
    std::vector<uint8_t> rsrc;
    for (const Pe::Section& s : pe.sections())
        if (s.name == ".rsrc" && s.raw_at + s.raw_size <= f.size())
            rsrc.assign(f.begin() + s.raw_at, f.begin() + s.raw_at + s.raw_size);
    ASSERT_FALSE(rsrc.empty()) << "no .rsrc section";
    const uint8_t signature[] = {0xbd, 0x04, 0xef, 0xfe};  // VS_FIXEDFILEINFO
    const auto fixed = std::search(rsrc.begin(), rsrc.end(), std::begin(signature), std::end(signature));
    ASSERT_NE(fixed, rsrc.end());
    const size_t fo = size_t(fixed - rsrc.begin());
    const uint32_t flags_mask = le(rsrc, fo + 24, 4), flags = le(rsrc, fo + 28, 4);
    constexpr uint32_t vs_ff_specialbuild = 0x20;
    EXPECT_TRUE(flags_mask & vs_ff_specialbuild) << "FILEFLAGSMASK leaves the flag out";
    bool found = false;
    const std::string description = version_string(rsrc, "FileDescription", &found);
    ASSERT_TRUE(found);
    const std::string special = version_string(rsrc, "SpecialBuild", &found);
    std::string lower = description;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (GetParam().diagnostic) {
        EXPECT_EQ(flags, vs_ff_specialbuild);
        EXPECT_NE(lower.find("diagnostic"), std::string::npos) << description;
        EXPECT_TRUE(found) << "no SpecialBuild string";
        EXPECT_NE(special.find("DbgPrintEx"), std::string::npos) << special;
    } else {
        EXPECT_EQ(flags, 0u);
        EXPECT_EQ(lower.find("diagnostic"), std::string::npos) << description;
        EXPECT_FALSE(found) << "SpecialBuild: " << special;
    }
    std::printf("%s: FileFlags %#x, FileDescription \"%s\"%s%s\n", GetParam().name, flags, description.c_str(),
                found ? ", SpecialBuild " : "", found ? ("\"" + special + "\"").c_str() : "");
}

// "Dec  8 13:25:54 2026 GMT" as seconds since 1970, or -1.
long long gmt_seconds(const std::string& text) {
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char month[4] = {};
    int day = 0, h = 0, m = 0, s = 0, year = 0;
    if (std::sscanf(text.c_str(), "%3s %d %d:%d:%d %d GMT", month, &day, &h, &m, &s, &year) != 6) return -1;
    const auto mon =
        std::find_if(std::begin(months), std::end(months), [&](const char* n) { return !std::strcmp(n, month); });
    if (mon == std::end(months)) return -1;
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = int(mon - std::begin(months));
    t.tm_mday = day;
    t.tm_hour = h;
    t.tm_min = m;
    t.tm_sec = s;
    return static_cast<long long>(timegm(&t));
}

std::string after(const std::string& text, const std::string& key) {
    const size_t at = text.find(key);
    if (at == std::string::npos) return "";
    const size_t from = text.find_first_not_of(" \t", at + key.size());
    return text.substr(from, text.find('\n', from) - from);
}

// The signing time the signature carries is the image's time stamp, and
// the test certificate is valid from then or earlier: a certificate whose
// validity begins after the signature was made is not valid for it.
TEST_P(ImageRelease, TestCertificateIsValidAtTheSigningTime) {
    ASSERT_FALSE(std::string(TOV_OSSLSIGNCODE).empty()) << "osslsigncode not found";
    const std::filesystem::path dir = std::filesystem::path(TOV_KERNEL_IMAGE).parent_path();
    const std::string arch = std::string(GetParam().x64 ? "x64" : "x86") + (GetParam().diagnostic ? "-diag" : "");
    const Outcome v =
        run_shell(std::string(TOV_OSSLSIGNCODE) + " verify -CAfile '" + (dir / "test-signing.crt").string() +
                  "' -in '" + (dir / "test-signed" / arch / "tovmem.sys").string() + "'");
    ASSERT_EQ(v.status, 0) << v.out << v.err;
    const long long not_before = gmt_seconds(after(v.out, "notBefore :"));
    const long long not_after = gmt_seconds(after(v.out, "notAfter :"));
    const long long signing = gmt_seconds(after(v.out, "Signing time:"));
    ASSERT_GT(not_before, 0) << v.out;
    ASSERT_GT(signing, 0) << v.out;
    EXPECT_EQ(signing, static_cast<long long>(Pe{file()}.time_stamp())) << "signing time vs the image's time stamp";
    EXPECT_LE(not_before, signing) << "the certificate becomes valid after the signature was made";
    EXPECT_GT(not_after, signing);
    std::printf("%s test-signed: certificate valid from %s, signed at %s\n", arch.c_str(),
                after(v.out, "notBefore :").c_str(), after(v.out, "Signing time:").c_str());
}

// The sample INF, section by section: `key = value` lines, comments gone.
using Inf = std::map<std::string, std::vector<std::pair<std::string, std::string>>>;

std::string trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r"), b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}
std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}
std::vector<std::string> fields(const std::string& v) {
    std::vector<std::string> out;
    std::istringstream in(v);
    std::string f;
    while (std::getline(in, f, ',')) out.push_back(trim(f));
    return out;
}

Inf read_inf(const std::string& path) {
    Inf inf;
    std::ifstream in(path);
    std::string line, section;
    while (std::getline(in, line)) {
        bool quoted = false;
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '"') quoted = !quoted;
            if (line[i] == ';' && !quoted) {
                line.resize(i);
                break;
            }
        }
        line = trim(line);
        if (line.empty()) continue;
        if (line.front() == '[' && line.back() == ']') {
            section = lower(line.substr(1, line.size() - 2));
            inf[section];
            continue;
        }
        const size_t eq = line.find('=');
        inf[section].emplace_back(lower(trim(line.substr(0, eq))),
                                  eq == std::string::npos ? "" : trim(line.substr(eq + 1)));
    }
    return inf;
}

std::string value_of(const Inf& inf, const std::string& section, const std::string& key) {
    const auto s = inf.find(lower(section));
    if (s == inf.end()) return "";
    for (const auto& [k, v] : s->second)
        if (k == lower(key)) return v;
    return "";
}

// Where each models section of the sample INF puts the two drivers: the
// directory ID of the CopyFiles section holding both, and the service
// binary's; "" when they disagree or something is missing.
struct Placement {
    std::string copied, service;
};
Placement placement(const Inf& inf, const std::string& models) {
    Placement p;
    const auto m = inf.find(lower(models));
    if (m == inf.end() || m->second.empty()) return p;
    const std::string install = fields(m->second.front().second).at(0);
    const std::string install_nt = install + ".NT";
    for (const std::string& copy : fields(value_of(inf, install_nt, "CopyFiles"))) {
        std::set<std::string> files;
        for (const auto& [k, v] : inf.at(lower(copy))) files.insert(k);
        if (!files.count("capture.sys") || !files.count("tovmem.sys")) continue;
        std::string dirid = value_of(inf, "DestinationDirs", copy);
        if (dirid.empty()) dirid = value_of(inf, "DestinationDirs", "DefaultDestDir");
        p.copied = fields(dirid).at(0);
    }
    const std::vector<std::string> service = fields(value_of(inf, install_nt + ".Services", "AddService"));
    if (service.size() >= 3) {
        const std::string binary = value_of(inf, service[2], "ServiceBinary");
        if (binary.size() > 2 && binary[0] == '%') p.service = binary.substr(1, binary.find('%', 1) - 1);
    }
    return p;
}

// Every Windows the kit claims (6.0 on): DIRID 13, the driver store, only
// from Windows 10 1709 (build 16299), which introduced it for drivers;
// System32\drivers (12) before, for x86 and for x64.
TEST(SampleInf, InstallsBothDriversOnEveryWindowsTheKitClaims) {
    const Inf inf = read_inf(std::string(TOV_SOURCE_DIR) + "/examples/capture_driver/capture.inf");
    const std::string manufacturer = inf.count("manufacturer") ? inf.at("manufacturer").at(0).second : "";
    const std::vector<std::string> decl = fields(manufacturer);
    ASSERT_GE(decl.size(), 2u) << manufacturer;
    const std::string models = decl[0];
    int before = 0, from = 0;
    for (const char* arch : {"NTx86", "NTamd64"}) {
        bool has_before = false, has_from = false;
        for (size_t i = 1; i < decl.size(); ++i) {
            if (lower(decl[i]).rfind(lower(arch), 0) != 0) continue;
            // NTarch[.major[.minor[.product[.suite[.build]]]]]
            std::vector<std::string> parts;
            std::string part;
            std::istringstream in(decl[i]);
            while (std::getline(in, part, '.')) parts.push_back(part);
            const unsigned major = parts.size() > 1 && !parts[1].empty() ? unsigned(std::stoul(parts[1])) : 0;
            const unsigned build = parts.size() > 5 && !parts[5].empty() ? unsigned(std::stoul(parts[5])) : 0;
            const bool store_ok = major > 10 || (major == 10 && build >= 16299);
            const Placement p = placement(inf, models + "." + decl[i]);
            EXPECT_EQ(p.copied, store_ok ? "13" : "12") << decl[i] << ": the two drivers' folder";
            EXPECT_EQ(p.service, p.copied) << decl[i] << ": ServiceBinary beside the copied files";
            (store_ok ? has_from : has_before) = true;
            std::printf("capture.inf %s.%s: both drivers to DIRID %s\n", models.c_str(), decl[i].c_str(),
                        p.copied.c_str());
        }
        EXPECT_TRUE(has_before) << arch << ": no models section for Windows before 10.0.16299";
        EXPECT_TRUE(has_from) << arch << ": no models section for the driver store";
        before += has_before;
        from += has_from;
    }
    EXPECT_EQ(before, 2);
    EXPECT_EQ(from, 2);
    // tovmem.sys is no service of its own.
    for (const auto& [section, lines] : inf)
        for (const auto& [k, v] : lines)
            if (k == "addservice") EXPECT_EQ(lower(fields(v).at(0)), "capture") << section;
}

// The file version in an image's VS_FIXEDFILEINFO, "a.b.c.d", or "".
std::string file_version(const std::vector<uint8_t>& f) {
    const uint8_t signature[] = {0xbd, 0x04, 0xef, 0xfe};
    const auto fixed = std::search(f.begin(), f.end(), std::begin(signature), std::end(signature));
    if (fixed == f.end()) return "";
    const size_t at = size_t(fixed - f.begin());
    const uint32_t ms = le(f, at + 8, 4), ls = le(f, at + 12, 4);
    return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xffff) + "." + std::to_string(ls >> 16) + "." +
           std::to_string(ls & 0xffff);
}

// The INF the kit ships says which driver version it installs: DriverVer
// is the images' own file version and date, and one package carries both
// architectures' files, each from its own folder.
TEST(SampleInf, ShippedCopyIsStampedWithTheImagesVersion) {
    TOV_REQUIRE_BUILD(TOV_KERNEL_IMAGE);
    const std::string shipped = (std::filesystem::path(TOV_KERNEL_IMAGE).parent_path() / "capture.inf").string();
    ASSERT_TRUE(std::filesystem::exists(shipped)) << shipped;
    const Inf inf = read_inf(shipped);
    const std::vector<std::string> driver_ver = fields(value_of(inf, "Version", "DriverVer"));
    ASSERT_EQ(driver_ver.size(), 2u) << value_of(inf, "Version", "DriverVer");
    for (const Image& i : images) {
        if (!std::filesystem::exists(i.path)) continue;
        const std::vector<uint8_t>& f = file_bytes(i.path);
        EXPECT_EQ(driver_ver[1], file_version(f)) << i.name << ": DriverVer against FILEVERSION";
        const std::time_t stamp = std::time_t(Pe{f}.time_stamp());
        std::tm t{};
        gmtime_r(&stamp, &t);
        char date[16];
        std::strftime(date, sizeof date, "%m/%d/%Y", &t);
        EXPECT_EQ(driver_ver[0], date) << i.name << ": DriverVer's date against the time stamp";
    }
    // The rest is the repository's INF, line for line.
    std::ifstream a(shipped), b(std::string(TOV_SOURCE_DIR) + "/examples/capture_driver/capture.inf");
    std::string la, lb;
    int differing = 0, lines = 0;
    while (std::getline(b, lb)) {
        ASSERT_TRUE(std::getline(a, la)) << "the shipped INF ends early";
        ++lines;
        if (la != lb) {
            ++differing;
            EXPECT_EQ(la.rfind("DriverVer", 0), 0u) << la;
        }
    }
    EXPECT_FALSE(std::getline(a, la)) << "the shipped INF is longer: " << la;
    EXPECT_LE(differing, 1);
    EXPECT_GT(lines, 50);
    std::printf("shipped capture.inf: DriverVer %s,%s\n", driver_ver[0].c_str(), driver_ver[1].c_str());
}

TEST(SampleInf, OnePackageCarriesBothArchitectures) {
    const Inf inf = read_inf(std::string(TOV_SOURCE_DIR) + "/examples/capture_driver/capture.inf");
    EXPECT_EQ(inf.count("sourcedisksfiles"), 0u) << "an undecorated [SourceDisksFiles] serves one architecture";
    const std::set<std::string> disks = [&] {
        std::set<std::string> d;
        for (const auto& [k, v] : inf.at("sourcedisksnames")) d.insert(k);
        return d;
    }();
    std::set<std::string> folders;
    for (const auto& [arch, folder] : {std::pair<std::string, std::string>{"x86", "x86"}, {"amd64", "x64"}}) {
        const auto s = inf.find("sourcedisksfiles." + arch);
        ASSERT_NE(s, inf.end()) << "no [SourceDisksFiles." << arch << "]";
        std::set<std::string> files;
        for (const auto& [k, v] : s->second) {
            files.insert(k);
            const std::vector<std::string> f = fields(v);
            ASSERT_GE(f.size(), 2u) << k << " = " << v;
            EXPECT_EQ(disks.count(f[0]), 1u) << k << ": disk " << f[0];
            EXPECT_EQ(f[1], folder) << arch << ": " << k;
            folders.insert(f[1]);
        }
        EXPECT_EQ(files, (std::set<std::string>{"capture.sys", "tovmem.sys"})) << arch;
    }
    EXPECT_EQ(folders.size(), 2u);
}

// The build number: counted by git in a full clone, given through the
// environment otherwise, refused in one line (saying how) where an image
// build cannot count it. Three small repositories of its own.
TEST(BuildNumber, ShallowCloneTakesItFromTheEnvironmentOrRefusesInOneLine) {
    const std::filesystem::path tmp =
        std::filesystem::path(::testing::TempDir()) / ("tov_build_number_" + std::to_string(getpid()));
    std::filesystem::remove_all(tmp);
    std::filesystem::create_directories(tmp / "plain");
    const std::string t = "'" + tmp.string() + "'";
    const Outcome made =
        run_shell("cd " + t +
                  " && git init -q full && cd full && for i in 1 2 3 4 5; do echo $i > f && git add f && git -c "
                  "user.name=t -c user.email=t@t commit -qm c$i || exit 1; done && cd .. && git clone -q --depth 2 "
                  "file://" +
                  tmp.string() + "/full shallow");
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string script = std::string(TOV_SOURCE_DIR) + "/cmake/build_number.cmake";
    auto number = [&](const std::string& env, const std::string& dir, bool required) {
        return run_shell("env -u TOV_BUILD_NUMBER " + env + " cmake -DSOURCE_DIR=" + t + "/" + dir +
                         (required ? " -DREQUIRED=ON" : "") + " -P '" + script + "'");
    };
    EXPECT_NE(number("", "full", true).out.find("-- build number: 5\n"), std::string::npos);
    EXPECT_NE(number("TOV_BUILD_NUMBER=41", "full", true).out.find("-- build number: 41\n"), std::string::npos)
        << "the environment wins";
    EXPECT_NE(number("TOV_BUILD_NUMBER=5", "shallow", true).out.find("-- build number: 5\n"), std::string::npos);
    for (const char* dir : {"shallow", "plain"}) {
        const Outcome refused = number("", dir, true);
        EXPECT_NE(refused.status, 0) << dir;
        EXPECT_EQ(refused.out.find("build number:"), std::string::npos) << dir << ": " << refused.out;
        // One line of its own says what to do.
        std::istringstream in(refused.err);
        std::string line;
        int lines = 0;
        while (std::getline(in, line))
            if (line.rfind("tov: ", 0) == 0) {
                ++lines;
                EXPECT_NE(line.find("set TOV_BUILD_NUMBER"), std::string::npos) << line;
                EXPECT_NE(line.find("git rev-list --count HEAD"), std::string::npos) << line;
            }
        EXPECT_EQ(lines, 1) << dir << ": " << refused.err;
        // A build that writes no image goes on with 0.
        EXPECT_NE(number("", dir, false).out.find("-- build number: 0\n"), std::string::npos) << dir;
    }
    for (const char* bad : {"70000", "12a", "-1"}) {
        const Outcome refused = number(std::string("TOV_BUILD_NUMBER=") + bad, "full", false);
        EXPECT_NE(refused.status, 0) << bad;
        EXPECT_NE(refused.err.find(std::string("tov: the environment's TOV_BUILD_NUMBER is '") + bad),
                  std::string::npos)
            << refused.err;
    }
    std::filesystem::remove_all(tmp);
}

}  // namespace
}  // namespace tov::test::kit_release
