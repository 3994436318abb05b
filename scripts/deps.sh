#!/usr/bin/env bash
# Installs what the build needs on a Debian machine, only what is missing.
set -euo pipefail
need=()
for pkg in g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev libedit-dev clang-format libjpeg62-turbo-dev ghostscript file python3 python3-pil; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}"
fi
