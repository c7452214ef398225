# Script behind the install_consumer test: install into a scratch prefix,
# check what was installed, then build and run a consumer against it with
# find_package and with pkg-config, and what a plug-in author would build
# from the installed package alone: the README's worked examples and the
# "Hello" plug-in, run by the installed zervan.

cmake_policy(VERSION 3.25)

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
# libraries it links in the installed tree; the plug-in SDK beside the
# library.
if(WITH_ZERVAN)
  foreach(path include/zrvesys/IPlugin.h include/zrvesys/CommandLineParser.h include/zrvesys/PluginManager.h
      include/zrvcommon/AppLogger.h ${LIBDIR}/pkgconfig/zrvesys.pc ${LIBDIR}/pkgconfig/zrvcommon.pc)
    if(NOT EXISTS ${prefix}/${path})
      message(FATAL_ERROR "not installed: ${path}")
    endif()
  endforeach()
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
# As the README says: an RPATH to the library directory, no LD_LIBRARY_PATH.
run(COMMAND ${pc_env} ${PKG_CONFIG} --variable=libdir zrvsdf OUTPUT pc_libdir)
string(STRIP "${pc_libdir}" pc_libdir)
run(COMMAND ${CXX} -std=c++20 ${flags} ${CONSUMER_DIR}/main.cpp ${pc_flags} -Wl,-rpath,${pc_libdir}
  -o ${WORK_DIR}/station_info_pc)
run(COMMAND ${WORK_DIR}/station_info_pc ${STATION} OUTPUT out)
expect_equal("consumer built with pkg-config" "${out}" "${expected}")

# The README's examples marked "<!-- file: NAME -->", taken as they are.
set(readme_dir ${WORK_DIR}/readme)
file(READ ${README} rest)
set(readme_files "")
while(TRUE)
  string(FIND "${rest}" "<!-- file: " at)
  if(at EQUAL -1)
    break()
  endif()
  math(EXPR at "${at} + 11")
  string(SUBSTRING "${rest}" ${at} -1 rest)
  string(FIND "${rest}" " -->" end)
  string(SUBSTRING "${rest}" 0 ${end} name)
  string(FIND "${rest}" "```" open)
  string(SUBSTRING "${rest}" ${open} -1 rest)
  string(FIND "${rest}" "\n" eol)
  math(EXPR eol "${eol} + 1")
  string(SUBSTRING "${rest}" ${eol} -1 rest)
  string(FIND "${rest}" "\n```" close)
  math(EXPR close "${close} + 1")
  string(SUBSTRING "${rest}" 0 ${close} body)
  file(WRITE ${readme_dir}/${name} "${body}")
  list(APPEND readme_files ${name})
  string(SUBSTRING "${rest}" ${close} -1 rest)
endwhile()
foreach(name object_model.cpp CMakeLists.txt Count.json Count.cpp)
  if(NOT name IN_LIST readme_files)
    message(FATAL_ERROR "the README has no example file ${name} (found: ${readme_files})")
  endif()
endforeach()

# The object model example runs clean (sanitizers included) and prints what
# the README says.
run(COMMAND ${CXX} -std=c++20 ${flags} ${readme_dir}/object_model.cpp ${pc_flags} -Wl,-rpath,${pc_libdir}
  -o ${WORK_DIR}/object_model)
run(COMMAND ${WORK_DIR}/object_model OUTPUT out)
expect_equal("the README's object model example" "${out}" "1004 Clamp 1004\n1002 Clamp 1002\n")

# Every installed header compiles with nothing but the installed tree (and
# Qt for the plug-in interface).
set(pc_modules zrvsdf)
if(WITH_ZERVAN)
  list(APPEND pc_modules zrvesys zrvcommon)
endif()
run(COMMAND ${pc_env} ${PKG_CONFIG} --cflags ${pc_modules} OUTPUT all_cflags)
separate_arguments(all_cflags UNIX_COMMAND "${all_cflags}")
file(GLOB headers RELATIVE ${prefix}/include ${prefix}/include/*/*.h)
set(all_headers "")
foreach(header IN LISTS headers)
  string(APPEND all_headers "#include <${header}>\n")
endforeach()
file(WRITE ${WORK_DIR}/all_headers.cpp "${all_headers}")
run(COMMAND ${CXX} -std=c++20 -fPIC ${flags} -c ${WORK_DIR}/all_headers.cpp ${all_cflags} -o ${WORK_DIR}/all_headers.o)

if(NOT WITH_ZERVAN)
  return()
endif()

# ---- plug-ins built outside the tree -------------------------------------
# Only the installed prefix and the system's Qt: no package registry, no
# source tree.
set(zervan_env ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software
  QT_QUICK_CONTROLS_STYLE=Basic XDG_DATA_HOME=${WORK_DIR}/data)
function(build_plugin source build)
  run(COMMAND ${CMAKE_COMMAND} -S ${source} -B ${build} -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_CXX_COMPILER=${CXX}
    -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DCMAKE_CXX_FLAGS=${FLAGS} -DCMAKE_MODULE_LINKER_FLAGS=${FLAGS})
  run(COMMAND ${CMAKE_COMMAND} --build ${build})
endfunction()
# Runs the installed zervan; sets code and out in the caller.
function(zervan)
  execute_process(COMMAND ${zervan_env} ${prefix}/bin/zervan ${ARGN}
    RESULT_VARIABLE result OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr WORKING_DIRECTORY ${WORK_DIR}
    TIMEOUT 120)
  set(code "${result}" PARENT_SCOPE)
  set(out "${stdout}" PARENT_SCOPE)
  set(shown "exit ${result}\n${stdout}\n${stderr}" PARENT_SCOPE)
endfunction()

set(sample ${prefix}/share/zervan/stations/sample_cell.sdf)
file(READ ${sample} sample_text)
string(REGEX MATCHALL " id=['\"][1-9][0-9]*['\"]" sample_ids "${sample_text}")
list(LENGTH sample_ids sample_objects)
string(REGEX MATCHALL "<part[ >]" sample_parts "${sample_text}")
list(LENGTH sample_parts sample_parts)

# The README's worked example, loaded from its build directory.
build_plugin(${readme_dir} ${WORK_DIR}/count-build)
zervan(--plugin-dir ${WORK_DIR}/count-build --start-plugin Count ${sample} --count-label part)
if(NOT code EQUAL 0 OR NOT out STREQUAL "${sample}: ${sample_parts} part\n")
  message(FATAL_ERROR "the README's plug-in:\n${shown}")
endif()

# "Hello": its own option, window and exit code.
build_plugin(${HELLO_DIR} ${WORK_DIR}/hello-build)
set(hello --plugin-dir ${WORK_DIR}/hello-build --start-plugin Hello)
zervan(${hello} --help)
if(NOT code EQUAL 0 OR NOT out MATCHES "--hello-quit-after <ms> +Hello: close the window")
  message(FATAL_ERROR "zervan --help does not list the plug-in's option:\n${shown}")
endif()
zervan(${hello} ${sample} --hello-quit-after 50)
set(hello_expected "Hello: ${sample}: ${sample_objects} objects\nHello window shows: ${sample_objects} objects\n")
if(NOT code EQUAL 0 OR NOT out STREQUAL hello_expected OR shown MATCHES "No such plugin")
  message(FATAL_ERROR "Hello on the sample station, expected\n${hello_expected}got\n${shown}")
endif()
file(WRITE ${WORK_DIR}/broken.sdf "<sdf version='1.0'>")
zervan(${hello} ${WORK_DIR}/broken.sdf --hello-quit-after 0)
if(NOT code EQUAL 3 OR NOT out MATCHES "Hello window shows: .+")
  message(FATAL_ERROR "Hello on a broken station should show the library's message and exit with 3:\n${shown}")
endif()
zervan(${hello} ${sample} --hello-quit-after)
if(NOT code EQUAL 2)
  message(FATAL_ERROR "a plug-in option without its value should exit with 2:\n${shown}")
endif()

# Installed into zervan's own plug-in directory, it needs no --plugin-dir
# and finds the libraries from there.
run(COMMAND ${CMAKE_COMMAND} --install ${WORK_DIR}/hello-build --prefix ${prefix})
if(LDD)
  file(GLOB hello_installed ${prefix}/bin/plugins/Hello.so)
  run(COMMAND ${LDD} ${hello_installed} OUTPUT out)
  if(out MATCHES "not found")
    message(FATAL_ERROR "the installed plug-in misses libraries:\n${out}")
  endif()
endif()
zervan(--start-plugin Hello ${sample} --hello-quit-after 0)
if(NOT code EQUAL 0 OR NOT out STREQUAL hello_expected)
  message(FATAL_ERROR "the installed Hello plug-in:\n${shown}")
endif()
