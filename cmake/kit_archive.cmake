# CPack post-build script: writes the kit's zip again from the staging tree
# so that one build's archive is byte for byte the next one's. CPack's own
# takes each file's time and the directory's order; this one lists the
# files sorted, dates them CPACK_TOV_EPOCH (UTC, also in the DOS date
# fields) and leaves directory entries out.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.zip$")
    continue()
  endif()
  set(stage ${CPACK_TEMPORARY_DIRECTORY})
  get_filename_component(top ${stage} NAME)
  get_filename_component(parent ${stage} DIRECTORY)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${parent} ${stage}/*)
  list(SORT files)
  list(JOIN files "\n" listing)
  file(WRITE ${parent}/${top}.files "${listing}\n")
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_TOV_EPOCH})
  string(TIMESTAMP mtime "%Y-%m-%d %H:%M:%S UTC" UTC)
  file(REMOVE ${package})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${CMAKE_COMMAND} -E tar cf ${package} --format=zip
      "--mtime=${mtime}" --files-from=${parent}/${top}.files
    WORKING_DIRECTORY ${parent} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "could not write ${package}")
  endif()
  list(LENGTH files count)
  message(STATUS "${package}: ${count} files, dated ${mtime}")
endforeach()
