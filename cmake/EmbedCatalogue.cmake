# Script mode: turns the description files into one C++ source.
#   cmake -DOUTPUT=<file.cpp> -DINPUTS=<a.sdf;b.sdf;...> -P EmbedCatalogue.cmake
# Each file becomes a byte array (no escaping questions, no literal size
# limits), listed under its file name in sdf::detail::kCatalogueFiles.
# An empty catalogue (no description files yet) still gives a valid table.
if(NOT OUTPUT)
  message(FATAL_ERROR "EmbedCatalogue.cmake needs OUTPUT")
endif()

set(arrays "")
set(entries "")
set(index 0)
list(SORT INPUTS)
foreach(input IN LISTS INPUTS)
  get_filename_component(name "${input}" NAME)
  file(READ "${input}" bytes HEX)
  string(LENGTH "${bytes}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
  # A trailing zero keeps empty files legal C++ and is not counted in size.
  string(APPEND arrays "static const unsigned char file${index}[] = {${bytes}0x00};\n")
  string(APPEND entries "    {\"${name}\", reinterpret_cast<const char*>(file${index}), ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()

if(index EQUAL 0)
  set(entries "    {\"\", \"\", 0},\n")
endif()

set(content "// Generated at build time from src/sdformat/catalogue/*.sdf; do not edit.
#include \"sdformat/CatalogueFiles.h\"

namespace sdf::detail {
namespace {
${arrays}} // namespace

const CatalogueFile kCatalogueFiles[] = {
${entries}};
const std::size_t kCatalogueFileCount = ${index};

} // namespace sdf::detail
")

# Rewrite only on change so that unrelated rebuilds stay incremental.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" previous)
  if(previous STREQUAL content)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${content}")
