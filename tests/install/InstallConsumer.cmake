# Script behind the install_consumer test: install into a scratch prefix,
# check what was installed, then build and run a consumer against it with
# find_package and with pkg-config.

function(run)
  cmake_parse_arguments(R "" "OUTPUT;WORKING_DIRECTORY" "COMMAND" ${ARGN})
  execute_process(COMMAND ${R_COMMAND}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err
    WORKING_DIRECTORY ${WORK_DIR})
  if(NOT result EQUAL 0)
    list(JOIN R_COMMAND " " shown)
    message(FATAL_ERROR "failed (${result}): ${shown}\n${out}\n${err}")
  endif()
  if(R_OUTPUT)
    set(${R_OUTPUT} "${out}" PARENT_SCOPE)
  endif()
endfunction()

function(expect_equal what actual expected)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${what}:\n--- expected\n${expected}--- actual\n${actual}---")
  endif()
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

# ---- install -------------------------------------------------------------
run(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

foreach(path
    bin/sdftool
    include/sdformat/SDF.h include/sdformat/Element.h include/sdformat/Attr.h include/sdformat/Export.h
    include/common/ZrvAssert.h include/zrvrob/ToolData.h
    ${LIBDIR}/cmake/zrvsdf/zrvsdfConfig.cmake ${LIBDIR}/cmake/zrvsdf/zrvsdfConfigVersion.cmake
    ${LIBDIR}/cmake/zrvsdf/zrvsdfTargets.cmake ${LIBDIR}/pkgconfig/zrvsdf.pc)
  if(NOT EXISTS ${prefix}/${path})
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
file(GLOB libraries ${prefix}/${LIBDIR}/libzrvsdf.* ${prefix}/${LIBDIR}/libzrvrob.*)
if(NOT libraries)
  message(FATAL_ERROR "the libraries were not installed in ${LIBDIR}")
endif()
# Internal headers stay in the source tree.
foreach(header TypeManager.h Catalogue.h CatalogueFiles.h FileReplace.h RootElement.h NumberText.h)
  if(EXISTS ${prefix}/include/sdformat/${header})
    message(FATAL_ERROR "internal header installed: ${header}")
  endif()
endforeach()

# The executable with its plug-in directory beside it, finding the platform
# libraries it links in the installed tree.
if(WITH_ZERVAN)
  if(NOT EXISTS ${prefix}/bin/zervan OR NOT IS_DIRECTORY ${prefix}/bin/plugins)
    message(FATAL_ERROR "zervan or its plugins directory not installed")
  endif()
  find_program(LDD ldd)
  if(LDD)
    run(COMMAND ${LDD} ${prefix}/bin/zervan OUTPUT out)
    if(out MATCHES "not found")
      message(FATAL_ERROR "installed zervan misses libraries:\n${out}")
    endif()
  endif()
  # The reference plug-in opens the installed sample station and passes the
  # installed smoke script.
  file(GLOB core_plugin ${prefix}/bin/plugins/*Core.so)
  if(core_plugin)
    set(sample ${prefix}/share/zervan/stations/sample_cell.sdf)
    file(WRITE ${WORK_DIR}/installed.json
      "[{\"action\": \"check\", \"id\": \"fileLabel\", \"property\": \"text\", \"equals\": \"${sample}\"}]")
    foreach(script ${WORK_DIR}/installed.json ${prefix}/share/zervan/scripts/smoke.json)
      run(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software
                  XDG_DATA_HOME=${WORK_DIR}/data ${prefix}/bin/zervan --gamma ${script})
    endforeach()
    if(NOT EXISTS ${WORK_DIR}/zervan-smoke.png)
      message(FATAL_ERROR "the installed smoke script took no screenshot")
    endif()
  endif()
endif()

# The installed tool runs from its place and finds its libraries.
run(COMMAND ${prefix}/bin/sdftool validate ${STATION} OUTPUT out)
expect_equal("installed sdftool" "${out}" "${STATION}: ok (40 elements, 7 objects)\n")

set(expected "station: Weld cell 4\nelements: 40\n")

# ---- find_package --------------------------------------------------------
set(consumer_build ${WORK_DIR}/consumer-build)
run(COMMAND ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${consumer_build} -G ${GENERATOR}
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=${BUILD_TYPE}
  -DCMAKE_CXX_FLAGS=${FLAGS} -DCMAKE_EXE_LINKER_FLAGS=${FLAGS} -DZRVSDF_VERSION=${VERSION})
run(COMMAND ${CMAKE_COMMAND} --build ${consumer_build})
run(COMMAND ${consumer_build}/station_info ${STATION} OUTPUT out)
expect_equal("consumer built with find_package" "${out}" "${expected}")

# The sample station: the consumer agrees with the installed tool.
if(EXISTS ${SAMPLE_STATION})
  run(COMMAND ${prefix}/bin/sdftool get ${SAMPLE_STATION} station/name OUTPUT name)
  run(COMMAND ${prefix}/bin/sdftool validate ${SAMPLE_STATION} OUTPUT validated)
  string(REGEX MATCH "ok \\(([0-9]+) elements" _ "${validated}")
  run(COMMAND ${consumer_build}/station_info ${SAMPLE_STATION} OUTPUT out)
  expect_equal("consumer on the sample station" "${out}" "station: ${name}elements: ${CMAKE_MATCH_1}\n")
endif()

# The version file refuses a later major version.
string(REGEX MATCH "^[0-9]+" major ${VERSION})
math(EXPR next_major "${major} + 1")
execute_process(COMMAND ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/too-new -G ${GENERATOR}
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX} -DZRVSDF_VERSION=${next_major}
  RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
if(result EQUAL 0)
  message(FATAL_ERROR "find_package(zrvsdf ${next_major}) accepted version ${VERSION}")
endif()

# ---- pkg-config ----------------------------------------------------------
if(NOT PKG_CONFIG)
  message(FATAL_ERROR "pkg-config not found")
endif()
set(pc_env ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${prefix}/${LIBDIR}/pkgconfig)
run(COMMAND ${pc_env} ${PKG_CONFIG} --modversion zrvsdf OUTPUT out)
expect_equal("pkg-config --modversion" "${out}" "${VERSION}\n")
run(COMMAND ${pc_env} ${PKG_CONFIG} --cflags --libs zrvsdf OUTPUT pc_flags)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(flags UNIX_COMMAND "${FLAGS}")
run(COMMAND ${CXX} -std=c++20 ${flags} ${CONSUMER_DIR}/main.cpp ${pc_flags} -o ${WORK_DIR}/station_info_pc)
run(COMMAND ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${prefix}/${LIBDIR} ${WORK_DIR}/station_info_pc ${STATION}
  OUTPUT out)
expect_equal("consumer built with pkg-config" "${out}" "${expected}")

# Every installed header compiles with nothing but the installed tree.
file(GLOB headers RELATIVE ${prefix}/include ${prefix}/include/*/*.h)
set(all_headers "")
foreach(header IN LISTS headers)
  string(APPEND all_headers "#include <${header}>\n")
endforeach()
file(WRITE ${WORK_DIR}/all_headers.cpp "${all_headers}")
run(COMMAND ${CXX} -std=c++20 ${flags} -c ${WORK_DIR}/all_headers.cpp ${pc_flags} -o ${WORK_DIR}/all_headers.o)
