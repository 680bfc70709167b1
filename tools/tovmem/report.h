// SPDX-License-Identifier: Apache-2.0
// The report: one self-contained HTML page that draws a bring-up (or two,
// aligned step by step) on a time axis with a lane per kind of step, for a
// board engineer to open in any browser, print, or attach to a bug report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/tovmem/cli.h"

namespace tovmem {

// One bring-up drawn on a page, and which call of its log it is (from 1;
// 0 when the file holds one call).
struct ReportCall {
    Bringup b;
    size_t call = 0;
};

// The page of one or more bring-ups, each in its own section; `more` is a
// note on calls left out (empty when none were).
std::string report_html(const std::vector<ReportCall>& calls, const std::string& more = "");

// The page of two bring-ups drawn one above the other, aligned as diff aligns them.
std::string comparison_html(const ReportCall& a, const ReportCall& b);

// The named fields of the register at `off` holding `v`, as the page shows
// them on hover under the step: "\nfields: half_width 1, pulse_low 1,
// pulse_high 0" (a one-bit field as 0 or 1, a wider one in hex); empty for
// a register whose bits the code does not name.
std::string fields_text(uint32_t off, uint32_t v);

// The SHA-256 digest of `bytes` in base64, as a Content-Security-Policy hash names an inline style or script.
std::string sha256_base64(const std::string& bytes);

// The page's inline style and script, which its policy allows by their digests.
const std::string& report_style();
const std::string& report_script();

}  // namespace tovmem
