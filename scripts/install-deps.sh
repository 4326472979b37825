#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need.
# As root it runs apt-get; otherwise it prints the command to run.
# It stops, starts and restarts nothing: the tests run nginx themselves, and a
# server already on the machine is the user's.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang clang-format pkg-config
  libjpeg-dev zlib1g-dev liblzo2-dev libcurl4-openssl-dev libpng-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  nginx-light python3 iproute2 curl
  qt6-base-dev qt6-declarative-dev xvfb xauth fonts-wqy-zenhei
  emscripten dpkg-dev chromium nodejs npm
  libavcodec-dev libavformat-dev libswscale-dev libavutil-dev
)
# Debian's libavcodec brings libx264 and libvpx, the export's H.264 and VP9 encoders.

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=()
for p in "${packages[@]}"; do
  # Any nginx will do for the tests; installing nginx-light next to another
  # flavour would change the packages behind the user's server.
  if [ "$p" = nginx-light ] && { [ -x /usr/sbin/nginx ] || command -v nginx >/dev/null; }; then
    continue
  fi
  # A node from elsewhere brings its own npm; Debian's would not install beside it.
  if [ "$p" = npm ] && command -v npm >/dev/null; then
    continue
  fi
  installed "$p" || missing+=("$p")
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

# invoke-rc.d and deb-systemd-invoke ask /usr/sbin/policy-rc.d before starting,
# restarting or reloading a service; 101 forbids it. That keeps nginx-light's
# service from starting and anything already running (a user's nginx reloaded by
# a module trigger, a server restarted for a library) from being touched.
policy=/usr/sbin/policy-rc.d
new=$policy.kiv-new.$$
old=$policy.kiv-old.$$
placed=
# Decides from what is on disk, so it is right wherever a failure or a signal
# stopped the steps below.
restore_policy() {
  rm -f "$new"
  if [ -e "$old" ] || [ -L "$old" ]; then
    placed=
    mv -f "$old" "$policy"
  elif [ -n "$placed" ]; then
    rm -f "$policy"
    placed=
  fi
}
nginx_unit_before=no
installed nginx-common && nginx_unit_before=yes

trap restore_policy EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
printf '#!/bin/sh\nexit 101\n' >"$new"
chmod 755 "$new"
# A rename keeps the user's file as it was: contents, mode, owner and times.
if [ -e "$policy" ] || [ -L "$policy" ]; then mv -f "$policy" "$old"; fi
placed=yes
mv -f "$new" "$policy"
apt-get install -y -qq --no-install-recommends "${missing[@]}"
restore_policy
trap - EXIT HUP INT TERM

# A service unit this run brought in would start nginx on port 80 at the next
# boot; disabling it changes no running process. One that was there is left.
if [ "$nginx_unit_before" = no ] && installed nginx-common && command -v systemctl >/dev/null; then
  systemctl disable nginx.service >/dev/null 2>&1 || true
fi
