# SPDX-License-Identifier: Apache-2.0
# Cross toolchain for the 64-bit Windows kernel image: the same clang-cl and
# lld-link as the 32-bit one (cmake/clang-cl-i686.cmake), for x86-64. The
# kernel build configures it itself as a second build tree (x64/).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_SYSTEM_VERSION 10.0)

set(tov_llvm_suffix "-14" CACHE STRING "Suffix of the LLVM tool names (clang-cl-14)")
set(CMAKE_C_COMPILER clang-cl${tov_llvm_suffix})
set(CMAKE_CXX_COMPILER clang-cl${tov_llvm_suffix})
set(CMAKE_C_COMPILER_TARGET x86_64-pc-windows-msvc)
set(CMAKE_CXX_COMPILER_TARGET x86_64-pc-windows-msvc)
set(CMAKE_LINKER lld-link${tov_llvm_suffix} CACHE FILEPATH "")
set(CMAKE_AR llvm-lib${tov_llvm_suffix} CACHE FILEPATH "")
set(CMAKE_RC_COMPILER llvm-rc${tov_llvm_suffix} CACHE FILEPATH "")
set(CMAKE_MT llvm-mt${tov_llvm_suffix} CACHE FILEPATH "")

# As for x86: no C runtime, no default libraries, no default flags.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
set(CMAKE_C_FLAGS "/nologo" CACHE STRING "")
set(CMAKE_CXX_FLAGS "/nologo" CACHE STRING "")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
