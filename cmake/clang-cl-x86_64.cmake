# SPDX-License-Identifier: Apache-2.0
# The 64-bit Windows kernel image: the same clang-cl and lld-link for x86-64.
# The kernel build configures it itself as a second build tree (x64/).
set(tov_windows_processor AMD64)
set(tov_windows_triple x86_64-pc-windows-msvc)
include(${CMAKE_CURRENT_LIST_DIR}/clang-cl.cmake)
