#!/usr/bin/env bash
# Makes the README's pictures (docs/screenshots/) afresh: a demo department
# in a scratch data folder, the program under Xvfb, its windows grabbed.
# Your own databases are not touched.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}

if ! command -v xvfb-run >/dev/null; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends xvfb xauth
fi

make --no-print-directory build BUILD_DIR="$BUILD_DIR"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$BUILD_DIR/tools/talvora-db/talvora-db" demo >/dev/null
mkdir -p docs/screenshots
xvfb-run -a -s "-screen 0 1600x1000x24" env QT_QPA_PLATFORM=xcb \
  "$BUILD_DIR/tools/screenshots/talvora-screenshots" docs/screenshots
