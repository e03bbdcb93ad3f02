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
CHECK_PACKAGES=(clang libclang-rt-14-dev clang-tidy cppcheck dpkg-dev lintian man-db)

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

# build_package: the release build packed as build/package/synthfactors_*.deb;
# prints the path of the package.
build_package() {
  build_preset package >/dev/null
  (cd "$ROOT" && cpack --preset package >/dev/null)
  ls "$ROOT"/build/package/synthfactors_*.deb
}

# check_package DEB: unpacks the package into a scratch root and checks that
# every file is where the desktop, manual and completion conventions expect,
# runs lintian (errors fail, warnings are shown) and the unpacked program.
check_package() {
  local deb=$1 root file
  root=$(mktemp -d)
  dpkg -x "$deb" "$root"
  for file in \
      usr/bin/synthfactors \
      usr/bin/synthfactors-cli \
      usr/share/applications/synthfactors.desktop \
      usr/share/icons/hicolor/32x32/apps/synthfactors.png \
      usr/share/man/man1/synthfactors.1.gz \
      usr/share/man/man1/synthfactors-cli.1.gz \
      usr/share/bash-completion/completions/synthfactors-cli \
      usr/share/doc/synthfactors/copyright \
      usr/share/doc/synthfactors/changelog.gz; do
    [ -f "$root/$file" ] || { echo "package lacks /$file" >&2; return 1; }
  done
  desktop-file-validate "$root/usr/share/applications/synthfactors.desktop"
  for file in "$root"/usr/share/man/man1/*.gz; do
    if LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$file" \
        2>&1 >/dev/null | grep -v 'root privileges' | grep .; then
      echo "manual page $(basename "$file") has warnings" >&2
      return 1
    fi
  done
  if command -v lintian >/dev/null; then
    lintian --fail-on error "$deb" 2>&1 | grep -v 'root privileges' || true
    lintian --fail-on error "$deb" >/dev/null 2>&1 || { echo "lintian found errors" >&2; return 1; }
  else
    echo "lintian is not installed here: skipped"
  fi
  local expected actual
  expected=$'RF Source Frequency 1000 MHz\n\nReference / 100\nRF   / 10000\nComparison freq  100.kHz\nNo Error\n\nHex divider values \nR  0x64  N  0x2710'
  actual=$(LC_ALL=C "$root/usr/bin/synthfactors-cli" --rf-out 1000)
  [ "$actual" = "$expected" ] || { echo "the packaged synthfactors-cli printed:" >&2; echo "$actual" >&2; return 1; }
  echo "package $(basename "$deb"): files, manual pages, lintian and the program are right"
  rm -rf "$root"
}
