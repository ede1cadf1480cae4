#!/usr/bin/env bash
# Installs every Debian package needed to build, run and test the game and its
# highscore service. Safe to run again; uses sudo when not run as root.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config git gettext appstream
  # the game
  libfltk1.3-dev libfreetype-dev libpng-dev zlib1g-dev libgl-dev libglu1-mesa-dev libx11-dev nlohmann-json3-dev
  libgl1-mesa-dri
  # the highscore service
  libboost-dev libsqlite3-dev libpq-dev postgresql
  # the art generator and its font
  libcairo2-dev fonts-dejavu-core
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  xvfb xauth xdotool imagemagick x11-utils x11-xserver-utils mesa-utils python3 wrk hyperfine procps
  libx11-6 libxtst6  # loaded by the end-to-end harness through ctypes
  desktop-file-utils appstream man-db  # checking the installed desktop entry, metainfo and man pages
  chromium chromium-driver python3-selenium tidy  # the rankings page in a browser
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
