# Shared by the project's scripts: installs what a fresh Debian 12 machine lacks.
# WAYMOCK_SKIP_INSTALL=1 skips that step, for a machine that has everything
# already (installed some other way, or by an administrator).

WAYMOCK_PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev
  libexpat1-dev libgeographiclib-dev python3-geographiclib
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev
  locales valgrind
  gpsd gpsd-clients python3 python3-nmea2 gpsbabel
  xvfb xdotool dbus at-spi2-core python3-pyatspi libxcb1-dev pkg-config openbox libc-l10n
  help2man groff-base appstream
  libavahi-client-dev avahi-daemon avahi-utils geoclue-2.0 geoclue-2-demo python3-gi
  qt6-positioning-dev libqt6positioning6-plugins
)

skip_install() {
  [ "${WAYMOCK_SKIP_INSTALL:-0}" = 1 ]
}

can_be_root() {
  [ "$(id -u)" = 0 ] || command -v sudo >/dev/null 2>&1
}

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# need_root WHAT COMMAND: says what is missing and how an administrator adds it.
need_root() {
  echo "Missing: $1" >&2
  echo "Installing it needs root, and sudo is not installed. As root, run:" >&2
  echo "  $2" >&2
  echo "then run this script again. If it is installed some other way, run this script" >&2
  echo "with WAYMOCK_SKIP_INSTALL=1 to skip the installation step." >&2
  return 1
}

ensure_packages() {
  skip_install && return 0
  if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "Cannot tell which packages are installed: dpkg-query is missing (not Debian?)." >&2
    echo "Install the equivalents of: $*" >&2
    echo "then run this script with WAYMOCK_SKIP_INSTALL=1 to skip the installation step." >&2
    return 1
  fi
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  if ! can_be_root; then
    need_root "the packages ${missing[*]}" "apt-get update && apt-get install ${missing[*]}"
    return 1
  fi
  echo "Installing: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
  if [[ " ${missing[*]} " == *" gpsd "* ]]; then
    echo "Note: gpsd's hot-plug service now takes USB serial adapters such as PL2303 and CP210x" \
      "when they are plugged in; to switch that off, set USBAUTO=\"false\" in /etc/default/gpsd."
  fi
}

# Tests check number text under a locale whose decimal separator is ",".
ensure_locale() {
  skip_install && return 0
  locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
  if ! can_be_root; then
    need_root "the locale de_DE.UTF-8 (tests of the decimal comma use it)" \
      "echo 'de_DE.UTF-8 UTF-8' >> /etc/locale.gen && locale-gen"
    return 1
  fi
  echo "Generating locale de_DE.UTF-8"
  as_root sh -c 'grep -q "^de_DE.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null || echo "de_DE.UTF-8 UTF-8" >> /etc/locale.gen'
  as_root locale-gen >/dev/null
}

# The window cannot start without a display that answers: Qt aborts (exit 134)
# when it cannot connect. These checks run before anything is installed, so
# they use xdpyinfo only when it is there, else connect to the display's socket.
x_display_answers() {
  [ -n "${DISPLAY:-}" ] || return 1
  if command -v xdpyinfo >/dev/null 2>&1; then
    # Also refuses a server that does not let this user in, as Qt would be refused.
    timeout 10 xdpyinfo >/dev/null 2>&1
    return
  fi
  local host=${DISPLAY%:*} number=${DISPLAY##*:}
  number=${number%%.*}
  [[ $number =~ ^[0-9]+$ ]] || return 1
  # perl is on every Debian system. A connection, not the socket file, since a
  # server that ended may leave its file behind; a display forwarded by ssh is a
  # TCP port, whose host must not hang the script when it is unreachable.
  timeout 10 perl -MIO::Socket -e '
    my ($host, $number) = @ARGV;
    exit !($host eq "" || $host eq "unix"
      ? IO::Socket::UNIX->new(Peer => "/tmp/.X11-unix/X$number")
      : IO::Socket::INET->new(PeerAddr => $host, PeerPort => 6000 + $number, Timeout => 5));
  ' "$host" "$number" 2>/dev/null
}

wayland_display_answers() {
  local socket=${WAYLAND_DISPLAY:-}
  [ -n "$socket" ] || return 1
  [[ $socket == /* ]] || socket=${XDG_RUNTIME_DIR:-/nonexistent}/$socket
  [ -S "$socket" ]
}

# display_problem: succeeds quietly when a display answers, else prints why
# there is none and fails.
display_problem() {
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "neither DISPLAY nor WAYLAND_DISPLAY is set"
    return 1
  fi
  wayland_display_answers && return 0
  x_display_answers && return 0
  local why=()
  [ -z "${WAYLAND_DISPLAY:-}" ] || why+=("WAYLAND_DISPLAY=$WAYLAND_DISPLAY names no socket")
  [ -z "${DISPLAY:-}" ] || why+=("no X server answers at DISPLAY=$DISPLAY")
  if [ ${#why[@]} = 2 ]; then
    echo "${why[0]} and ${why[1]}"
  else
    echo "${why[0]}"
  fi
  return 1
}

# A second build of the same sources (the sanitizer build's unchanged flags
# aside, another checkout, a rebuild after a clean) reuses what ccache kept.
compiler_launcher() {
  command -v ccache >/dev/null 2>&1 && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
  return 0
}

# configure_and_build DIR [cmake options...]
configure_and_build() {
  local dir=$1
  shift
  # shellcheck disable=SC2046
  cmake -S . -B "$dir" -G Ninja $(compiler_launcher) "$@" >/dev/null
  cmake --build "$dir" -- -j"$(nproc)"
}

# build_preset NAME: configures and builds one of CMakePresets.json's presets.
build_preset() {
  # shellcheck disable=SC2046
  cmake --preset "$1" $(compiler_launcher) >/dev/null
  cmake --build --preset "$1" -- -j"$(nproc)"
}
