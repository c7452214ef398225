# zrv_public_headers(<out-var> <root> <seed>...): the headers that clients of
# the shared library compile against: the seed headers and everything they
# include from the project's own include root (<sdformat/...>,
# <common/...>), followed transitively. Paths come back relative to root.
#
# Internal headers (the type registry, the catalogue, file replacement) are
# not in the closure of the exported classes and so are never installed. A
# header's includes are read at configure time; editing one re-runs CMake.
function(zrv_public_headers out root)
  set(pending ${ARGN})
  set(found "")
  while(pending)
    list(POP_FRONT pending header)
    if(header IN_LIST found)
      continue()
    endif()
    if(NOT EXISTS ${root}/${header})
      message(FATAL_ERROR "public header ${header} includes a project header that does not exist under ${root}")
    endif()
    list(APPEND found ${header})
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${root}/${header})
    file(STRINGS ${root}/${header} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](sdformat|common)/[^>\"]+[>\"]")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*" "\\1" included "${line}")
      list(APPEND pending ${included})
    endforeach()
  endwhile()
  list(SORT found)
  set(${out} ${found} PARENT_SCOPE)
endfunction()
