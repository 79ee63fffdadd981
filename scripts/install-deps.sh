#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Talvora need,
# but only those that are missing. As root it calls apt-get itself, otherwise sudo.
#
#   install-deps.sh          what building and running need
#   install-deps.sh --test   that and what only the tests need: LibreOffice
#                            Writer without its GUI, which the tests hand our
#                            documents to, and its Math module, without which
#                            it drops the formulas embedded in them (the
#                            program itself needs no office suite)
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-translations-l10n
  libsqlite3-dev libcurl4-openssl-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libhunspell-dev hunspell-ru hunspell-en-us
  7zip python3-pyftpdlib desktop-file-utils
  libqt6svg6
)

TEST_PACKAGES=(
  libreoffice-writer-nogui libreoffice-math-nogui
)

for arg in "$@"; do
  case "$arg" in
    --test) PACKAGES+=("${TEST_PACKAGES[@]}") ;;
    *) echo "install-deps.sh: unknown option $arg (use --test for the tests' packages)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  SUDO=""
else
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
