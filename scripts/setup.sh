#!/usr/bin/env bash
# Sourced by build.sh and test.sh: installs what this project needs on a fresh
# Debian machine (as root), makes sure 32-bit programs can run, and prepares
# the Wine prefix the bench and the tests run in. Safe to run again.

gauge_packages=(
  cmake make g++ g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine wine32:i386 wine32-preloader:i386 fonts-liberation
  googletest libstb-dev nlohmann-json3-dev
  python3 zip xvfb chromium xdotool imagemagick
)

gauge_missing_packages() {
  local missing=()
  for p in "${gauge_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$p")
  done
  echo "${missing[@]}"
}

gauge_install_packages() {
  local missing
  missing=$(gauge_missing_packages)
  [ -z "$missing" ] && return 0
  if [ "$(id -u)" != 0 ]; then
    echo "missing packages: $missing (run as root to install them)" >&2
    return 1
  fi
  echo "installing: $missing"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing \
    >/tmp/gauge-apt.log 2>&1 || { tail -20 /tmp/gauge-apt.log >&2; return 1; }
}

# Some kernels run no 32-bit x86 program natively; Wine's 32-bit loader then
# runs through qemu's user-mode emulation, registered for i386 executables.
gauge_enable_32bit() {
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 && return 0
  if [ "$(id -u)" != 0 ]; then
    echo "this kernel cannot run 32-bit programs; run as root to set up qemu for them" >&2
    return 1
  fi
  dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q "install ok installed" ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq qemu-user-static >/tmp/gauge-apt.log 2>&1
  local binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
  if [ ! -e "$binfmt/qemu-i386" ]; then
    echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
      >"$binfmt/register"
  fi
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 || {
    echo "32-bit programs still do not run" >&2
    return 1
  }
}

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine-gaugebench}

gauge_prepare_wine() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "creating the Wine prefix $WINEPREFIX (once)"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w 2>/dev/null || true
  fi
  # A crashing test must end, not wait for a debugger nobody attends.
  if [ ! -f "$WINEPREFIX/.no-crash-debugger" ]; then
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
      /v Debugger /t REG_SZ /d '' /f </dev/null >/dev/null 2>&1 &&
      touch "$WINEPREFIX/.no-crash-debugger"
  fi
  # One wineserver for the whole run, and Wine's own services started now,
  # detached from every pipe: a service started by a test would inherit the
  # test runner's output pipe and keep it open after the test ends.
  wineserver -p </dev/null >/dev/null 2>&1 &
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# Configures and builds every module, the companion, the bench and the tests.
gauge_build() {
  local dir=$1
  cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=Release ${CMAKE_ARGS:-} >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}

gauge_setup() {
  gauge_install_packages && gauge_enable_32bit && gauge_prepare_wine
}
