#!/usr/bin/env bash
# Installs, from Debian's packages, whatever this project needs and the
# machine lacks. Safe to run again: it installs nothing that is there.
set -euo pipefail

packages=(
  cmake make g++ pkg-config locales
  googletest libbenchmark-dev            # tests and benchmarks (GoogleTest is built from source)
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64   # the Windows build
  wine wine64                            # runs the Windows tests and the program
  xvfb xauth                             # a virtual display for Wine
  fonts-liberation                       # metric-compatible Arial (Liberation Sans) for Wine
  fonts-wine                             # Wine's own fonts: Tahoma (dialogs), Marlett (frame glyphs)
  socat                                  # COM ports on pseudo-terminal pairs
  imagemagick                            # screenshots of the running program
  x11-utils                              # xdpyinfo: is the user's X display there?
  ccache                                 # reuses compiled objects across checkouts
  fp-utils                               # chmcmd: compiles the help into QM487.chm
  wixl msitools zip unzip                # scripts/package.sh: the MSI and the zip, and their tests
  influxdb curl jq python3               # the database tests: a private influxd, its queries, the dashboard check
  mosquitto mosquitto-clients openssl    # the MQTT tests: a private broker, a subscriber, a test CA
  python3-aiosmtpd                       # the notification tests: a mail server on loopback
  faketime                               # scripts/midnight-run.sh: a Wine run across midnight with a faked clock
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
