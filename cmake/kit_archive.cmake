# SPDX-License-Identifier: Apache-2.0
# CPack post-build script: writes the kit's zip again from the staging tree
# so that one build's archive is byte for byte the next one's. CPack's own
# takes each file's times (access and change times too) and the directory's
# order; this one dates every file CPACK_TOV_EPOCH (the image's time stamp,
# in UTC), lists the files sorted and stores neither directory entries nor
# extra fields (owner, times beyond the DOS date): zip -X -D.
find_program(TOV_ZIP zip REQUIRED)
find_program(TOV_TOUCH touch REQUIRED)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.zip$")
    continue()
  endif()
  set(stage ${CPACK_TEMPORARY_DIRECTORY})
  get_filename_component(parent ${stage} DIRECTORY)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${parent} ${stage}/*)
  list(SORT files)
  list(JOIN files "\n" listing)
  execute_process(COMMAND ${TOV_TOUCH} -d @${CPACK_TOV_EPOCH} ${files} WORKING_DIRECTORY ${parent}
    RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "could not date the files of ${package}")
  endif()
  file(REMOVE ${package})
  file(WRITE ${parent}/kit_files.txt "${listing}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${TOV_ZIP} -X -D -q -9 ${package} -@
    INPUT_FILE ${parent}/kit_files.txt WORKING_DIRECTORY ${parent} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "could not write ${package}")
  endif()
  list(LENGTH files count)
  message(STATUS "${package}: ${count} files, dated @${CPACK_TOV_EPOCH}")
endforeach()
