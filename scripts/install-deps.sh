#!/bin/bash
# Installs the Debian 12 packages the build, the tests and the demo need, when any is missing.
# As root it uses apt-get; otherwise it names the command to run.
set -euo pipefail

packages=(
    cmake make g++                         # the build
    qt6-base-dev qt6-serialport-dev        # Qt 6 Widgets and SerialPort
    libxcb1-dev                            # whether the X display answers, before Qt asks
    libgtest-dev libgmock-dev              # the tests
    fonts-liberation2                      # metric-compatible stand-in for Arial
    xvfb x11-utils                         # the window on a virtual X display (Xvfb, xprop)
    openbox xdotool                        # a window manager on it, and which window is active
    dbus-daemon python3-dbusmock           # a private bus with a stand-in logind
)
case "${1:-}" in
    --sanitize) packages+=(libclang-rt-14-dev clang-14) ;;
    # The package's checks: Debian's lintian.
    --package) packages+=(lintian) ;;
    # The cross-build for Windows and its run under Wine need no Qt: only these (the Linux meter
    # tool that the tests under Wine talk to comes from the packages above).
    --windows) packages=(cmake make g++-mingw-w64-x86-64-posix googletest wine64
                         nsis                 # the installer (makensis, through CPack)
                         python3 binutils     # reads the manifest back; strings reads a shortcut
                         xvfb x11-utils openbox xdotool imagemagick) ;;  # the window on a display
esac

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages. Install them with:" >&2
    echo "  sudo apt-get install ${missing[*]}" >&2
    exit 1
fi
echo "Installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
