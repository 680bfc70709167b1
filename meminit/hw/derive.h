// SPDX-License-Identifier: Apache-2.0
// A constant written as its differences from another: a copy of `base` with
// `change` applied, evaluated at compile time where the result is constexpr.
//
//     constexpr Profile b = derive(a, [](Profile& p) { p.timing.drc_818 = 0x53232512; });
#pragma once

namespace tov {

template <class T, class Change>
constexpr T derive(T base, Change change) {
    change(base);
    return base;
}

}  // namespace tov
