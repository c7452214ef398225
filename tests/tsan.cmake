# The library's concurrency tests as one program, labelled "tsan" so that the
# ThreadSanitizer build (ZRV_TSAN=ON) runs just them with `ctest -L tsan`.
# A new concurrency test joins by its file name: tests/sdformat/*ConcurrencyTest.cpp.
file(GLOB ZRV_TSAN_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/sdformat/*ConcurrencyTest.cpp)
if(ZRV_TSAN_TEST_SOURCES)
  add_executable(sdformat_tsan_tests ${ZRV_TSAN_TEST_SOURCES})
  zrv_warnings(sdformat_tsan_tests)
  target_include_directories(sdformat_tsan_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/sdformat)
  target_link_libraries(sdformat_tsan_tests PRIVATE zrvsdf_internal GTest::gtest_main)
  # The prefix keeps these apart from the same tests in sdformat_tests.
  gtest_discover_tests(sdformat_tsan_tests TEST_PREFIX "tsan." PROPERTIES LABELS tsan)
endif()

# The cell library's concurrency tests (the geometry cache), the same way.
file(GLOB ZRV_CELL_TSAN_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/cell/*ConcurrencyTest.cpp)
if(ZRV_CELL_TSAN_TEST_SOURCES AND TARGET zrvcell_internal)
  add_executable(cell_tsan_tests ${ZRV_CELL_TSAN_TEST_SOURCES})
  zrv_warnings(cell_tsan_tests)
  target_link_libraries(cell_tsan_tests PRIVATE zrvcell_internal GTest::gtest_main)
  gtest_discover_tests(cell_tsan_tests TEST_PREFIX "tsan." PROPERTIES LABELS tsan)
endif()
