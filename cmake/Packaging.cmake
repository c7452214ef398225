# Installation: the SDK for plug-in authors as one CMake package
# (find_package(zrvsdf CONFIG) giving zrv::sdf, and with the application
# zrv::esys, the plug-in interface and option registry, and zrv::common, the
# logger) and a pkg-config module per library, the command-line tool, and the
# executable with its plug-in directory. Everything installed finds the
# libraries from its own place (relative RPATH).
#
#   <prefix>/include/sdformat/, common/           headers of the exported interface
#   <prefix>/include/zrvrob/, zrvlayout/, zrvtask/  headers of outside libraries it includes
#   <prefix>/include/zrvesys/, zrvcommon/          the plug-in interface, options, logger
#   <prefix>/include/cell/                          the cell library's headers
#   <prefix>/<libdir>/libzrvsdf.so*, libzrvcell.so*, libzrvrob.so*, libzrvesys.so, libzrvcommon.so
#   <prefix>/<libdir>/cmake/zrvsdf/                  package configuration
#   <prefix>/<libdir>/pkgconfig/zrvsdf.pc, zrvesys.pc, zrvcommon.pc
#   <prefix>/bin/sdftool, zervan, plugins/
include(CMakePackageConfigHelpers)
include(${CMAKE_CURRENT_LIST_DIR}/PublicHeaders.cmake)

if(TARGET zrvsdf)
  set(ZRV_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zrvsdf)

  # Exported as zrv::sdf and zrv::rob, the names used inside this tree.
  # Installed side by side, the library finds the robot data library next
  # to itself.
  set_target_properties(zrvsdf PROPERTIES EXPORT_NAME sdf INSTALL_RPATH "$ORIGIN")
  set_target_properties(zrvrob PROPERTIES EXPORT_NAME rob)
  set(_zrv_exported zrvsdf zrvrob)
  # The cell library (layout, kinematics, geometry, paths, simulation) as
  # zrv::cell, beside the station library it builds on.
  if(TARGET zrvcell)
    set_target_properties(zrvcell PROPERTIES EXPORT_NAME cell INSTALL_RPATH "$ORIGIN")
    list(APPEND _zrv_exported zrvcell)
    file(GLOB _zrv_cell_headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/cell/*.h)
    install(FILES ${_zrv_cell_headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/cell)
  endif()
  if(TARGET zrv_app_standins)
    # The application classes that the object model names (declarations
    # only): part of what clients compile against.
    set_target_properties(zrv_app_standins PROPERTIES EXPORT_NAME app_standins)
    list(APPEND _zrv_exported zrv_app_standins)
  endif()
  # The platform libraries that plug-ins build against, with all their
  # headers (they are small and every one of them is interface).
  set(ZRV_EXPORTS_QT OFF)
  foreach(lib esys common)
    if(TARGET zrv${lib})
      set_target_properties(zrv${lib} PROPERTIES EXPORT_NAME ${lib} INSTALL_RPATH "$ORIGIN")
      list(APPEND _zrv_exported zrv${lib})
      file(GLOB _zrv_platform_headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/platform/zrv${lib}/zrv${lib}/*.h)
      install(FILES ${_zrv_platform_headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zrv${lib})
      set(ZRV_EXPORTS_QT ON)
    endif()
  endforeach()
  install(TARGETS ${_zrv_exported} EXPORT zrvsdfTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # The exported classes' headers and what they include; not the internal
  # ones, which clients could not use anyway.
  file(GLOB _zrv_sdf_headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/src
    ${PROJECT_SOURCE_DIR}/src/sdformat/*.h)
  set(_zrv_exported_headers "")
  foreach(header IN LISTS _zrv_sdf_headers)
    file(STRINGS ${PROJECT_SOURCE_DIR}/src/${header} _exports REGEX "SDF_EXPORT")
    if(_exports)
      list(APPEND _zrv_exported_headers ${header})
    endif()
  endforeach()
  zrv_public_headers(ZRV_PUBLIC_HEADERS ${PROJECT_SOURCE_DIR}/src ${_zrv_exported_headers})
  foreach(header IN LISTS ZRV_PUBLIC_HEADERS)
    get_filename_component(_dir ${header} DIRECTORY)
    install(FILES ${PROJECT_SOURCE_DIR}/src/${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${_dir})
  endforeach()
  # The exported interface includes headers of outside libraries: the robot
  # data library and the application's manipulator and task classes. Their
  # stand-ins install all their headers.
  foreach(dir zrvrob zrvlayout zrvtask)
    file(GLOB _zrv_platform_headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/platform/${dir}/*.h)
    install(FILES ${_zrv_platform_headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${dir})
  endforeach()

  install(EXPORT zrvsdfTargets NAMESPACE zrv:: DESTINATION ${ZRV_PACKAGE_DIR})
  configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/zrvsdfConfig.cmake.in
    ${PROJECT_BINARY_DIR}/zrvsdfConfig.cmake
    INSTALL_DESTINATION ${ZRV_PACKAGE_DIR})
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/zrvsdfConfigVersion.cmake
    VERSION ${PROJECT_VERSION}
    COMPATIBILITY SameMajorVersion)
  install(FILES
    ${PROJECT_BINARY_DIR}/zrvsdfConfig.cmake
    ${PROJECT_BINARY_DIR}/zrvsdfConfigVersion.cmake
    DESTINATION ${ZRV_PACKAGE_DIR})

  # The module finds its prefix from its own place, so an installed tree
  # can be moved or installed with --prefix.
  file(RELATIVE_PATH ZRV_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/zrvsdf.pc.in ${PROJECT_BINARY_DIR}/zrvsdf.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/zrvsdf.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  foreach(lib esys common)
    if(TARGET zrv${lib})
      set(ZRV_PC_NAME zrv${lib})
      configure_file(${CMAKE_CURRENT_LIST_DIR}/zrvplatform.pc.in ${PROJECT_BINARY_DIR}/zrv${lib}.pc @ONLY)
      install(FILES ${PROJECT_BINARY_DIR}/zrv${lib}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
    endif()
  endforeach()
endif()

# The executable looks for plug-ins in "plugins" beside itself; plug-in
# projects of this tree install there with
#   install(TARGETS <plugin> LIBRARY DESTINATION ${ZRV_INSTALL_PLUGINDIR})
if(TARGET zervan)
  set_target_properties(zervan PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  install(TARGETS zervan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(DIRECTORY DESTINATION ${ZRV_INSTALL_PLUGINDIR})
endif()
