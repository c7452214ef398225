# Runs one libFuzzer program on a fresh copy of its seed corpus.
#   FUZZER  the program
#   SEEDS   directories whose files seed the corpus (missing ones are skipped)
#   WORK    the corpus directory the fuzzer grows, made anew
#   ARGS    the fuzzer's options
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(count 0)
foreach(dir IN LISTS SEEDS)
  file(GLOB seeds LIST_DIRECTORIES false "${dir}/*")
  foreach(seed IN LISTS seeds)
    file(COPY ${seed} DESTINATION ${WORK})
    math(EXPR count "${count} + 1")
  endforeach()
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "no seed documents found in ${SEEDS}")
endif()
message(STATUS "fuzzing from ${count} seed documents")
execute_process(COMMAND ${FUZZER} ${ARGS} ${WORK} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} found a failing input (exit ${result})")
endif()
