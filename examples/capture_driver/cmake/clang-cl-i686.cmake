# SPDX-License-Identifier: Apache-2.0
# The kit's toolchain file, for a build started from the kit's root with
# -DCMAKE_TOOLCHAIN_FILE=cmake/clang-cl-i686.cmake: CMake resolves that path
# below the build folder and then below the source folder, which is here.
include(${CMAKE_CURRENT_LIST_DIR}/../../../cmake/clang-cl-i686.cmake)
