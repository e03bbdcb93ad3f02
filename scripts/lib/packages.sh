# The Debian packages the project needs, and how they are installed: with
# apt-get, only those missing, as root or through sudo. Sourced by common.sh.

# Everything the build, the window and the tests need.
PACKAGES=(
  cmake make g++ pkgconf
  libgtest-dev libgmock-dev libmpfr-dev
  libcli11-dev nlohmann-json3-dev libdragonbox-dev libfast-float-dev
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-qpa-plugins libqt6test6 fonts-liberation fonts-dejavu-core desktop-file-utils
  locales
  pybind11-dev python3-dev python3-numpy python3-pytest
  zsh fish
)

# The web page: emscripten for the WebAssembly, Node.js for npm, and
# Chromium driven by Selenium for its tests.
WEB_PACKAGES=(emscripten nodejs chromium chromium-driver python3-selenium)

# The Windows command line: the mingw-w64 cross compiler, and wine to run it.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64)

# Fuzzing with libFuzzer, the static analysers and the package check.
CHECK_PACKAGES=(clang libclang-rt-14-dev clang-tidy cppcheck pyflakes3 dpkg-dev lintian man-db appstream)

# The locale whose decimal comma the tests check the report against.
TEST_LOCALE=de_DE.UTF-8

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo "$@"
  else
    echo "Need root or sudo to run: $*" >&2
    exit 1
  fi
}

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
  echo "Installing: $(echo $missing | tr '\n' ' ')" >&2
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  # shellcheck disable=SC2086
  as_root env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

# ensure_test_locale: generates TEST_LOCALE (from the locales package) if it
# is not there yet, kept in /etc/locale.gen so that later runs of locale-gen
# keep it.
ensure_test_locale() {
  local name=${TEST_LOCALE%.UTF-8}.utf8
  locale -a 2>/dev/null | grep -qx "$name" && return 0
  echo "Generating the $TEST_LOCALE locale" >&2
  if ! grep -qx "$TEST_LOCALE UTF-8" /etc/locale.gen 2>/dev/null; then
    echo "$TEST_LOCALE UTF-8" | as_root tee -a /etc/locale.gen >/dev/null
  fi
  as_root locale-gen >/dev/null
}
