# What `cmake --install` puts down for the application: zervan with its
# plug-ins in bin/plugins, the shared libraries they load in lib, and the
# examples in share/zervan. Each installed binary finds the libraries
# relative to itself, so the installation can be moved.
set_target_properties(zervan PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
foreach(lib zrvsdf zrvrob zrvesys zrvcommon)
  set_target_properties(${lib} PROPERTIES INSTALL_RPATH "$ORIGIN")
endforeach()
install(TARGETS zervan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS zrvsdf zrvrob zrvesys zrvcommon
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_SKIP)
