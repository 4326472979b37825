#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need.
# As root it runs apt-get; otherwise it prints the command to run.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang clang-format pkg-config
  libjpeg-dev zlib1g-dev liblzo2-dev libcurl4-openssl-dev libpng-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  nginx-light python3 iproute2 curl
  qt6-base-dev xvfb xauth fonts-wqy-zenhei
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run: sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
# The tests start nginx themselves; the package's own service is not wanted.
if command -v systemctl >/dev/null 2>&1; then systemctl disable --now nginx >/dev/null 2>&1 || true; fi
pkill -x nginx >/dev/null 2>&1 || true
