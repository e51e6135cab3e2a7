#!/usr/bin/env bash
# Installs the Debian packages Mirvo needs to build, play and test, and nothing
# when they are all present already. Runs apt-get as root, through sudo otherwise.
set -euo pipefail

packages=(
  cmake ninja-build pkg-config g++ clang
  libgtest-dev libbenchmark-dev
  liballegro4-dev liballeggl4-dev libgl-dev libglu1-mesa-dev
  libasound2 libasound2-dev
  libtomlplusplus-dev libloadpng4-dev libpng-dev zlib1g-dev
  sox vorbis-tools libvorbis-dev ffmpeg gnuplot-nox
  xvfb xauth xdotool x11-utils libx11-dev libgl1-mesa-dri openbox
  libclang-rt-14-dev libfuzzer-14-dev
  imagemagick dpkg-dev fakeroot file lintian desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
