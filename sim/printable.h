// SPDX-License-Identifier: Apache-2.0
// Text that came from a file (a name inside an image, a trace's value) is
// shown escaped: bytes outside printable ASCII as \xNN, so that nothing a
// file holds can move the cursor, clear a line or split a one-line message
// on a terminal. Escaping twice changes nothing, so a message built from
// escaped parts may be escaped again on its way out.
#pragma once

#include <string>
#include <string_view>

namespace tov::sim {

inline std::string printable(std::string_view s) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string o;
    o.reserve(s.size());
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7f) {
            o += ch;
        } else {
            o += "\\x";
            o += digits[c >> 4];
            o += digits[c & 15];
        }
    }
    return o;
}

}  // namespace tov::sim
