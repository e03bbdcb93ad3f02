# What every script in scripts/ starts with: strict mode, the project's root
# folder, the package installer (packages.sh) and build_preset. Source it.

set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

source "$ROOT/scripts/lib/packages.sh"

# build_preset NAME: configure (once) and build a preset of CMakePresets.json.
build_preset() {
  local preset=$1
  shift
  (cd "$ROOT" && cmake --preset "$preset" "$@" >/dev/null && cmake --build --preset "$preset")
}

# header_prefix DIR PACKAGE...: a prefix for a cross build holding only the
# header-only libraries it needs (CLI11, nlohmann_json, dragonbox,
# FastFloat) and small CMake configs for them. Debian's own configs point
# into /usr/include, which holds the Linux C library's headers too. Prints
# the -D<package>_DIR options for cmake, one a line. Copies keep their
# times, so a rebuild recompiles nothing.
header_prefix() {
  local dir=$1 package target include
  shift
  rm -rf "$dir"
  mkdir -p "$dir/include"
  for package in "$@"; do
    case $package in
      CLI11) target=CLI11::CLI11 include=/usr/include/CLI ;;
      nlohmann_json) target=nlohmann_json::nlohmann_json include=/usr/include/nlohmann ;;
      dragonbox) target=dragonbox::dragonbox include=$(echo /usr/include/dragonbox-*/dragonbox) ;;
      FastFloat) target=FastFloat::fast_float include=/usr/include/fast_float ;;
      *) echo "header_prefix: unknown package $package" >&2; return 1 ;;
    esac
    cp -rp "$include" "$dir/include/"
    mkdir -p "$dir/cmake/$package"
    cat >"$dir/cmake/$package/${package}Config.cmake" <<CONFIG
if(NOT TARGET $target)
  add_library($target INTERFACE IMPORTED)
  set_target_properties($target PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "$dir/include")
endif()
CONFIG
    echo "-D${package}_DIR=$dir/cmake/$package"
  done
}
