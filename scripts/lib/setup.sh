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
