# SPDX-License-Identifier: Apache-2.0
# The shipped 32-bit Windows kernel image: clang-cl and lld-link for i686.
set(tov_windows_processor X86)
set(tov_windows_triple i686-pc-windows-msvc)
include(${CMAKE_CURRENT_LIST_DIR}/clang-cl.cmake)
