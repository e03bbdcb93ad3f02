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
