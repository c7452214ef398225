#!/usr/bin/env bash
# The single entry point for the tests: installs what the build needs from
# Debian's packages, builds from scratch and runs every suite.
#   build/debug  Debug, AddressSanitizer + UndefinedBehaviorSanitizer, assertions on
#   build/tsan   ThreadSanitizer build of the library's concurrency tests
#   build/fuzz   clang libFuzzer targets, run for a bounded time
set -euo pipefail
cd "$(dirname "$0")"

source scripts/packages.sh

JOBS=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen

install_missing_packages

# Debug information: line tables only (-g1). Stack traces and sanitizer
# reports still name functions, files and lines; full debug information
# would cost a quarter more compile time in these throw-away trees.
# Benchmarks are built where they are measured (a Release tree, see the
# README), not here.
echo "== Debug build with AddressSanitizer and UndefinedBehaviorSanitizer"
rm -rf build/debug
cmake -S . -B build/debug -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZRV_SANITIZE=ON -DZRV_BUILD_BENCH=OFF \
  -DCMAKE_C_FLAGS_DEBUG=-g1 -DCMAKE_CXX_FLAGS_DEBUG=-g1
cmake --build build/debug -j "$JOBS"
ctest --test-dir build/debug --output-on-failure -j "$JOBS"

if [[ -f tests/tsan.cmake ]]; then
  echo "== ThreadSanitizer build"
  rm -rf build/tsan
  cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZRV_TSAN=ON -DZRV_ASSERTS=ON -DZRV_BUILD_BENCH=OFF -DZRV_BUILD_TOOLS=OFF \
    "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
  # Only the concurrency program: the rest of the suite already ran above.
  cmake --build build/tsan -j "$JOBS" --target sdformat_tsan_tests cell_tsan_tests
  TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" ctest --test-dir build/tsan --output-on-failure -L tsan
fi

if [[ -d fuzz ]] && [[ -f fuzz/CMakeLists.txt ]]; then
  echo "== libFuzzer targets"
  rm -rf build/fuzz
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZRV_ASSERTS=ON \
    -DZRV_BUILD_FUZZ=ON -DZRV_BUILD_APP=OFF -DZRV_BUILD_TESTS=OFF -DZRV_BUILD_BENCH=OFF \
    "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
  cmake --build build/fuzz -j "$JOBS"
  ctest --test-dir build/fuzz --output-on-failure -L fuzz
fi

echo "== all tests passed"
