# SPDX-License-Identifier: Apache-2.0
# Cross toolchain for the Windows kernel images: clang-cl and lld-link, which
# write CodeView debug information and a full PDB. No Windows SDK or CRT is
# used; the images need neither. Included by clang-cl-i686.cmake and
# clang-cl-x86_64.cmake, which set the processor and the target triple.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${tov_windows_processor})
set(CMAKE_SYSTEM_VERSION 10.0)

set(tov_llvm_suffix "-14" CACHE STRING "Suffix of the LLVM tool names (clang-cl-14)")
set(CMAKE_C_COMPILER clang-cl${tov_llvm_suffix})
set(CMAKE_CXX_COMPILER clang-cl${tov_llvm_suffix})
set(CMAKE_C_COMPILER_TARGET ${tov_windows_triple})
set(CMAKE_CXX_COMPILER_TARGET ${tov_windows_triple})
set(CMAKE_LINKER lld-link${tov_llvm_suffix} CACHE FILEPATH "")
set(CMAKE_AR llvm-lib${tov_llvm_suffix} CACHE FILEPATH "")
set(CMAKE_RC_COMPILER llvm-rc${tov_llvm_suffix} CACHE FILEPATH "")
set(CMAKE_MT llvm-mt${tov_llvm_suffix} CACHE FILEPATH "")

# Compiler checks must not try to link against a C runtime that is not here.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# No default libraries (kernel32.lib and friends) and no default flags
# (/EHsc, /GR, /DWIN32) for a kernel image.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
set(CMAKE_C_FLAGS "/nologo" CACHE STRING "")
set(CMAKE_CXX_FLAGS "/nologo" CACHE STRING "")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
