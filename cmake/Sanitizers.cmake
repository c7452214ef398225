# Sanitizer flags apply to everything built in this tree, so that the
# library, the tests and the stand-ins agree on the instrumentation.
if(ZRV_SANITIZE AND ZRV_TSAN)
  message(FATAL_ERROR "ZRV_SANITIZE and ZRV_TSAN cannot be combined")
endif()

if(ZRV_SANITIZE)
  set(_zrv_san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_compile_options(${_zrv_san})
  add_link_options(-fsanitize=address,undefined)
endif()

if(ZRV_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(ZRV_BUILD_FUZZ)
  # The fuzzers steer by the coverage of the code they reach, so the library
  # is built with the coverage hooks and the sanitizers too; only the fuzzer
  # programs themselves link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
