# SPDX-License-Identifier: Apache-2.0
# The build number, the fourth part of the images' FILEVERSION: the number
# of commits up to the one built, so that two releases of one version differ
# and two builds of one commit agree. In order of precedence: given
# (-DTOV_IMAGE_BUILD_NUMBER=N, as the kernel build passes it to its x64
# tree), the environment's TOV_BUILD_NUMBER, or counted by git. A shallow
# clone or a copy without .git cannot count: a build that writes the number
# into images refuses then, with one line that says how to give it; any
# other build uses 0.
#
# Included: tov_build_number(OUT SOURCE_DIR REQUIRED). Run as a script
# (cmake -DSOURCE_DIR=DIR [-DREQUIRED=ON] -P build_number.cmake), it prints
# "-- build number: N" or refuses as the build would.

function(tov_build_number out source_dir required)
  if(DEFINED TOV_IMAGE_BUILD_NUMBER)
    set(number "${TOV_IMAGE_BUILD_NUMBER}")
    set(from "TOV_IMAGE_BUILD_NUMBER")
  elseif(DEFINED ENV{TOV_BUILD_NUMBER})
    set(number "$ENV{TOV_BUILD_NUMBER}")
    set(from "the environment's TOV_BUILD_NUMBER")
    if(NOT CMAKE_SCRIPT_MODE_FILE AND number MATCHES "^[0-9]+$")
      # Kept for the build's own re-runs of cmake, which may not see it.
      set(TOV_BUILD_NUMBER_GIVEN ${number} CACHE INTERNAL "the environment's TOV_BUILD_NUMBER when configured")
    endif()
  else()
    set(number "")
    set(from "")
    execute_process(COMMAND git rev-parse --is-shallow-repository WORKING_DIRECTORY ${source_dir}
      OUTPUT_VARIABLE shallow OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE no_git ERROR_QUIET)
    if(no_git)
      set(why "the sources are no git checkout")
    elseif(shallow STREQUAL "true")
      set(why "a shallow clone cannot count its commits")
    else()
      execute_process(COMMAND git rev-list --count HEAD WORKING_DIRECTORY ${source_dir}
        OUTPUT_VARIABLE number OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
      set(why "git rev-list --count HEAD gave '${number}'")
      set(from "git")
    endif()
  endif()
  if(from AND NOT number MATCHES "^[0-9]+$" OR number GREATER 65535)
    if(from STREQUAL "git")
      set(number "")
    else()
      # A number given wrongly is refused by every build.
      message(NOTICE "tov: ${from} is '${number}', not a build number from 0 to 65535")
      message(FATAL_ERROR "no valid build number")
    endif()
  endif()
  if(NOT number MATCHES "^[0-9]+$" AND DEFINED TOV_BUILD_NUMBER_GIVEN)
    set(number ${TOV_BUILD_NUMBER_GIVEN})
  endif()
  if(NOT number MATCHES "^[0-9]+$")
    if(required)
      message(NOTICE "tov: the images' build number is unknown (${why}): set TOV_BUILD_NUMBER to the "
        "commit count of a full clone (git rev-list --count HEAD), or run git fetch --unshallow")
      message(FATAL_ERROR "no build number")
    endif()
    message(STATUS "Build number 0: ${why} (set TOV_BUILD_NUMBER to give one)")
    set(number 0)
  endif()
  set(${out} ${number} PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(NOT DEFINED SOURCE_DIR)
    message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=DIR [-DREQUIRED=ON] -P build_number.cmake")
  endif()
  if(NOT DEFINED REQUIRED)
    set(REQUIRED OFF)
  endif()
  tov_build_number(number ${SOURCE_DIR} ${REQUIRED})
  message(STATUS "build number: ${number}")
endif()
