# Shared set-up for the project's scripts: installs the Debian packages the
# build needs (only those missing), then configures and builds a preset.
# Source it from a script in scripts/.

set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

# Everything the build, the window and the tests need, from Debian only.
PACKAGES=(
  cmake make g++ pkgconf
  libgtest-dev libgmock-dev
  libcli11-dev nlohmann-json3-dev
  qt6-base-dev qt6-qpa-plugins libqt6test6 fonts-liberation desktop-file-utils
)

# Fuzzing with libFuzzer, and the static analysers.
CHECK_PACKAGES=(clang libclang-rt-14-dev clang-tidy cppcheck)

missing_packages() {
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      echo "$pkg"
    fi
  done
}

install_packages() {
  local missing
  missing=$(missing_packages "$@")
  [ -z "$missing" ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Need root or sudo to install: $missing" >&2; exit 1; }
    sudo=(sudo)
  fi
  echo "Installing: $(echo $missing | tr '\n' ' ')" >&2
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  # shellcheck disable=SC2086
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

# build_preset NAME: configure (once) and build the preset.
build_preset() {
  local preset=$1
  shift
  (cd "$ROOT" && cmake --preset "$preset" "$@" >/dev/null && cmake --build --preset "$preset")
}

# The fuzz targets, in build/fuzz/fuzz/.
FUZZ_TARGETS=(parse_number number_text go_action batch)

# run_fuzzers SECONDS: runs every fuzz target for SECONDS from the committed
# corpus (kept unchanged: new inputs go to a scratch folder). A finding is
# saved under build/fuzz/findings/ and fails the run.
run_fuzzers() {
  local seconds=$1 target scratch
  mkdir -p "$ROOT/build/fuzz/findings"
  for target in "${FUZZ_TARGETS[@]}"; do
    scratch=$(mktemp -d)
    echo "fuzzing $target for ${seconds}s"
    if ! "$ROOT/build/fuzz/fuzz/${target}_fuzz" -max_total_time="$seconds" \
        -print_final_stats=1 -artifact_prefix="$ROOT/build/fuzz/findings/${target}-" \
        "$scratch" "$ROOT/fuzz/corpus/$target" >"$scratch.log" 2>&1; then
      tail -n 40 "$scratch.log" >&2
      echo "fuzz target $target found a failing input (see build/fuzz/findings/)" >&2
      return 1
    fi
    grep -E '^stat::number_of_executed_units' "$scratch.log" || true
    rm -rf "$scratch" "$scratch.log"
  done
}

# run_lint: clang-tidy and cppcheck over the program's own sources, using the
# compile commands of the ci build.
run_lint() {
  local sources
  sources=$(cd "$ROOT" && ls calc/*.cc cli/*.cc ui/*.cc)
  echo "clang-tidy: $(echo $sources | wc -w) files"
  local log
  log=$(mktemp)
  if ! (cd "$ROOT" && echo "$sources" | xargs -P 2 -n 4 clang-tidy -p build/ci --quiet) >"$log" 2>&1; then
    grep -vE '^[0-9]+ warnings? generated|^Suppressed|^Use -header-filter' "$log" >&2
    echo "clang-tidy found problems" >&2
    return 1
  fi
  rm -f "$log"
  echo "cppcheck"
  (cd "$ROOT" && cppcheck --std=c++20 --language=c++ -I calc -I cli -I build/ci/cli -I ui \
    --enable=warning,performance,portability --error-exitcode=1 --inline-suppr --quiet \
    --suppress=missingIncludeSystem --suppress=missingInclude $sources)
}
