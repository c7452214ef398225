#!/usr/bin/env bash
# Builds zervan with its reference plug-in "Core" (Release, build/release)
# and opens a station in it:
#   ./run.sh [STATION]
# STATION defaults to the sample station examples/stations/sample_cell.sdf.
# Without a display (neither DISPLAY nor WAYLAND_DISPLAY set) the same runs
# with the smoke script examples/scripts/smoke.json, which checks what the
# window shows and saves a screenshot; the exit code is the number of failed
# steps. It runs on a virtual X display (xvfb-run, Mesa's software OpenGL)
# so that the 3D view draws, or on Qt's offscreen platform, where the view
# shows a notice instead, when xvfb-run is not installed.
set -euo pipefail

station=()
if (($# > 1)); then
  echo "usage: $0 [STATION]" >&2
  exit 2
fi
if (($# == 1)); then
  # Before changing directory, so that relative names work.
  station=("$(realpath -m -- "$1")")
fi

cd "$(dirname "$0")"
root=$PWD
source scripts/packages.sh
install_missing_packages

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DZRV_BUILD_TESTS=OFF -DZRV_BUILD_BENCH=OFF >/dev/null
cmake --build build/release --target zervan
zervan=$root/build/release/src/app/zervan/zervan

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  out=$root/build/release/smoke
  mkdir -p "$out"
  rm -f "$out/zervan-smoke.png"
  status=0
  if command -v xvfb-run >/dev/null; then
    echo "== no display: running the smoke script on a virtual X display"
    (cd "$out" && xvfb-run -a -s "-screen 0 1600x1000x24" env -u QT_QPA_PLATFORM -u QT_QUICK_BACKEND \
       "$zervan" --gamma "$root/examples/scripts/smoke.json" "${station[@]}") || status=$?
  else
    echo "== no display: running the smoke script on the offscreen platform"
    (cd "$out" && QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software \
       "$zervan" --gamma "$root/examples/scripts/smoke.json" "${station[@]}") || status=$?
  fi
  if [[ -f "$out/zervan-smoke.png" ]]; then
    echo "screenshot: $out/zervan-smoke.png"
  else
    echo "no screenshot was taken"
  fi
  exit "$status"
fi

exec "$zervan" "${station[@]}"
