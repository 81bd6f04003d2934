#!/usr/bin/env bash
# Vireo's two set-up commands:
#   ./build.sh run    install what is missing, build, open Vireo's window on the bundled sample bases
#                     (without a display: list them with vireo-cli)
#   ./build.sh test   install what is missing, build, run every test (also under ASan+UBSan and TSan)
# Also: ./build.sh bench   build and run the benchmarks (they print ratios to a baseline).
#       ./build.sh package build a release and make its Debian package in build/package/.
#       ./build.sh fuzz TARGET SECONDS   run one fuzz target (fuzz/*_fuzz.cpp) for that long.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev libuchardet-dev libgmime-3.0-dev libhivex-dev libgumbo-dev
          qt6-base-dev qt6-svg-dev qt6-webengine-dev libgl-dev fonts-dejavu-core clang libclang-rt-14-dev
          qt6-wayland python3 xdg-utils shared-mime-info libglib2.0-bin dpkg-dev)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"
  elif command -v sudo >/dev/null 2>&1; then sudo "$@"
  else echo "build.sh: need root or sudo to install: $*" >&2; exit 1
  fi
}

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "build.sh: installing ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# Each configuration has a folder of its own, so one never silently reuses another's cache.
# Warnings are errors here and in CI; a plain cmake leaves them warnings.
configure_and_build() { # dir, extra cmake args...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DVIREO_WERROR=ON "$@" >/dev/null
  cmake --build "$dir"
}

configure_fuzz() {
  CXX=clang++ configure_and_build build/fuzz -DVIREO_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++
}

run_tests() { # dir
  ctest --test-dir "$1" --output-on-failure -j"$(nproc)" --timeout 600
}

case "${1:-}" in
  run)
    install_missing
    configure_and_build build
    if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
      exec ./build/shell/vireo samples/*.dbx
    fi
    echo "No display: listing the samples with vireo-cli instead."
    for base in samples/*.dbx; do
      echo "== $base"
      ./build/cli/vireo-cli info "$base"
      if ! ./build/cli/vireo-cli list "$base"; then
        echo "-- browsing failed; recovering the messages by scanning the file:"
        ./build/cli/vireo-cli list --recover "$base" || true
      fi
    done
    ;;
  package)
    install_missing
    # Only what the package holds: the tests are not built for it.
    cmake -S . -B build/package -G Ninja -DVIREO_WERROR=ON -DCMAKE_BUILD_TYPE=Release -DVIREO_BENCH=OFF >/dev/null
    cmake --build build/package --target vireo vireo-cli vireo_icons
    (cd build/package && cpack -G DEB)
    ls build/package/*.deb
    ;;
  test)
    install_missing
    configure_and_build build
    run_tests build
    echo "== again under AddressSanitizer and UndefinedBehaviorSanitizer"
    configure_and_build build/sanitize -DVIREO_SANITIZE=ON -DVIREO_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests build/sanitize
    echo "== again under ThreadSanitizer (the worker, the scan's read-ahead and the parsing threads)"
    configure_and_build build/tsan -DVIREO_SANITIZE_THREAD=ON -DVIREO_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
    # Address randomisation off: GCC 12's ThreadSanitizer cannot start under some kernels' layouts.
    TSAN_OPTIONS=halt_on_error=1 setarch "$(uname -m)" -R ctest --test-dir build/tsan --output-on-failure -j"$(nproc)" --timeout 600
    echo "== the fuzz targets: kept inputs, then a short smoke run each"
    configure_fuzz
    run_tests build/fuzz
    ;;
  fuzz)
    target=${2:?usage: ./build.sh fuzz TARGET SECONDS}
    seconds=${3:?usage: ./build.sh fuzz TARGET SECONDS}
    install_missing
    configure_fuzz
    ./build/fuzz/fuzz/vireo-fuzz-seeds build/fuzz/fuzz/seeds
    mkdir -p "build/fuzz/fuzz/corpus/$target" build/fuzz/artifacts
    # Findings land in build/fuzz/artifacts; a minimised one belongs in fuzz/regressions/TARGET.
    "./build/fuzz/fuzz/$target" -max_total_time="$seconds" -max_len=65536 -timeout=25 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/ \
      "build/fuzz/fuzz/corpus/$target" "build/fuzz/fuzz/seeds/$target"
    ;;
  bench)
    install_missing
    configure_and_build build/release -DCMAKE_BUILD_TYPE=Release
    for b in build/release/bench/*; do [ -x "$b" ] && [ -f "$b" ] && "$b"; done
    ;;
  *)
    echo "usage: ./build.sh run | test | bench | package | fuzz TARGET SECONDS" >&2
    exit 2
    ;;
esac
