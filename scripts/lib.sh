# Shared by the project's scripts: installs what a fresh Debian 12 machine lacks.

WAYMOCK_PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev
  locales valgrind
  gpsd gpsd-clients python3 python3-nmea2 gpsbabel
)

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
  fi
}

# Tests check number text under a locale whose decimal separator is ",".
ensure_locale() {
  if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    echo "Generating locale de_DE.UTF-8"
    as_root sh -c 'grep -q "^de_DE.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null || echo "de_DE.UTF-8 UTF-8" >> /etc/locale.gen'
    as_root locale-gen >/dev/null
  fi
}

# configure_and_build DIR [cmake options...]
configure_and_build() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -- -j"$(nproc)"
}
