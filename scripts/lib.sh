# Shared by scripts/build, scripts/test and scripts/demo: installs what is missing on a Debian 12
# machine, builds, and runs Windows programs under Wine on a virtual display of their own.
# Sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="$ROOT/build"
WIN_BIN="$BUILD/win32/bin"

PACKAGES=(cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev
          g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
          wine wine32:i386 wine64 xvfb xauth fonts-liberation fonts-wine)

say() { printf '\033[1m==> %s\033[0m\n' "$*" >&2; }

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

apt_install() {
  local missing=()
  for p in "$@"; do installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -eq 0 ] && return 0
  say "installing ${missing[*]}"
  if [ "$(id -u)" != 0 ]; then
    echo "these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The DLL and the test programs are 32-bit. Some machines (32-bit emulation switched off in the
# kernel) cannot execute i386 code; there the 32-bit Wine loader runs under qemu's user-mode
# emulation, registered for i386 ELF binaries. Slower to start, the same Windows underneath.
ensure_i386() {
  # Read by qemu alone, so harmless where i386 code runs natively. qemu 7.2 ignores
  # MAP_FIXED_NOREPLACE and scans its whole reserved 4 GiB at each of Wine's address-space
  # reservations (~90 s a process); with this reservation a process starts in a few seconds.
  # Below 0x80400000 Wine cannot map its shared user data. Child processes inherit it.
  export QEMU_RESERVED_VA=0x81000000
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 && return 0
  apt_install qemu-user-static
  if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  fi
  if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    say "running i386 programs through qemu-i386-static"
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:FPC' \
      > /proc/sys/fs/binfmt_misc/register
  fi
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 || { echo "cannot run i386 programs here" >&2; exit 1; }
}

setup_machine() {
  apt_install "${PACKAGES[@]}"
  ensure_i386
}

build_win32() {
  say "building gen_tunecrier.dll and the Windows programs"
  cmake --preset win32 >/dev/null
  cmake --build --preset win32
  mkdir -p "$ROOT/dist"
  cp "$WIN_BIN/gen_tunecrier.dll" "$ROOT/dist/"
}

# The project's VERSION (CMakeLists.txt), as the last Windows build configured it.
project_version() {
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/win32/CMakeCache.txt"
}

build_native() {
  say "building the native unit tests"
  cmake --preset native >/dev/null
  cmake --build --preset native
}

# --- Wine ---------------------------------------------------------------------------------
# A prefix of the project's own, made on first use. It is a 64-bit prefix: the plug-in and the
# test programs run in it as 32-bit programs do on 64-bit Windows, while Wine's own services run
# natively.
export WINEPREFIX="$BUILD/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export WINESERVER=/usr/lib/wine/wineserver64
WINE64=/usr/lib/wine/wine64
WINE32=wine

ensure_prefix() {
  [ -f "$WINEPREFIX/.tunecrier-ready" ] && return 0
  say "making the Wine prefix $WINEPREFIX (once per build tree)"
  rm -rf "$WINEPREFIX"
  mkdir -p "$BUILD"
  "$WINE64" wineboot -i >/dev/null 2>&1
  # Without a window manager Wine waits for every destroyed window; no crash dialogs either.
  "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  "$WINE64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  "$WINE64" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 0 /f >/dev/null 2>&1
  "$WINE64" reg add 'HKLM\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 0 /f >/dev/null 2>&1
  "$WINESERVER" -w
  touch "$WINEPREFIX/.tunecrier-ready"
}

# Programs that run side by side need a prefix each (a wineserver each, so that they see neither
# each other's windows and broadcasts nor each other's registry): a copy of the project's
# prefix, made once.
copy_prefix() {
  local copy=$1
  [ -f "$copy/.tunecrier-ready" ] && return 0
  ensure_prefix
  rm -rf "$copy"
  cp -a "$WINEPREFIX" "$copy"
}

XVFB_PID=
# Starts a virtual display of 1024x768 at 24 bits on a free display number, unless DISPLAY is
# set and `use_own_display` is not asked for.
start_display() {
  local fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fdfile" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
  [ "$DISPLAY" != ":" ] || { echo "Xvfb did not start" >&2; exit 1; }
}

stop_display() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
  XVFB_PID=
}

# Keeps one wineserver for the whole run, so that programs start into a running Wine.
start_wine() {
  ensure_prefix
  # Wine's own stand-ins for "MS Sans Serif" (the dialogs' font) and Marlett (the caption
  # buttons): Wine looks for them in the prefix's Fonts folder.
  cp -u /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  "$WINESERVER" -p
  "$WINE64" wineboot >/dev/null 2>&1 || true
}
