#!/usr/bin/env bash
# Installs what the project needs on a Debian machine (Debian packages only).
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix wine64 xvfb xauth
  # X extensions Wine's display driver uses (recommended, not required, by Wine)
  libxrender1 libxrandr2 libxi6 libxcursor1 libxfixes3 libxcomposite1 libxinerama1
  libgdiplus fonts-liberation
  libcli11-dev nlohmann-json3-dev libsndfile1-dev
  clang libclang-rt-14-dev
  # the correctly rounded oracle the maths tests compare with
  libmpfr-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
