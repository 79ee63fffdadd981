#!/usr/bin/env bash
# Installs the build into a scratch root as the Debian package lays it out
# (prefix /usr) and checks what a user of the installed program relies on:
# the programs, the menu entry and its icon, the declared dependencies, and
# that the installed talvora-db makes a working database on its own.
#
#   installed_files.sh BUILD_DIR ARCHIVER
#
# Exits 77 (skipped) when a tool it needs is missing.
set -uo pipefail

build=${1:?build directory}
archiver=${2:?archiver path compiled into the program}
skip() { echo "SKIPPED: $*"; exit 77; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

command -v cmake >/dev/null || skip "cmake is not installed"
for t in src/app/talvora tools/talvora-db/talvora-db tools/talvora-doc/talvora-doc; do
  [ -x "$build/$t" ] || skip "$t is not built"
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root

if ! DESTDIR=$root cmake --install "$build" --prefix /usr >"$scratch/install.log" 2>&1; then
  cat "$scratch/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi

# --- the files, where a desktop and a shell look for them
for p in talvora talvora-db talvora-doc; do
  [ -x "$root/usr/bin/$p" ] || fail "/usr/bin/$p is missing or not executable"
done
desktop=$root/usr/share/applications/talvora.desktop
svg=$root/usr/share/icons/hicolor/scalable/apps/talvora.svg
png=$root/usr/share/icons/hicolor/256x256/apps/talvora.png
[ -f "$desktop" ] || fail "the desktop entry is missing"
[ -f "$svg" ] || fail "the scalable icon is missing"
[ -f "$png" ] || fail "the 256px icon is missing"
[ -f "$root/usr/share/doc/talvora/README.md" ] || fail "the README is missing from /usr/share/doc/talvora"
grep -q '<svg' "$svg" 2>/dev/null || fail "the scalable icon is not an SVG image"
if [ -f "$png" ]; then
  # A PNG's header, then the width and height of its IHDR chunk.
  head=$(od -An -tx1 -N24 "$png" | tr -d ' \n')
  [ "${head:0:16}" = 89504e470d0a1a0a ] || fail "the 256px icon is not a PNG"
  [ "${head:32:16}" = 0000010000000100 ] || fail "the 256px icon is not 256×256"
fi
# Nothing of the build tree or of the tests is installed.
stray=$(cd "$root" && find . -type f ! -path './usr/bin/*' ! -path './usr/share/*')
[ -z "$stray" ] || fail "files outside /usr/bin and /usr/share: $stray"
ls "$root/usr/bin" | grep -Ev '^talvora(-db|-doc)?$' && fail "unexpected programs in /usr/bin"

# --- the desktop entry
if [ -f "$desktop" ]; then
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" | grep -v ': hint:' | grep . && fail "desktop-file-validate complains"
  fi
  key() { sed -n "s/^$1=//p" "$desktop"; }
  [ "$(key Type)" = Application ] || fail "Type is not Application"
  [ "$(key Name)" = Talvora ] || fail "Name is not Talvora"
  [ -n "$(key 'Name\[ru\]')" ] || fail "there is no Russian name"
  [ -n "$(key Comment)" ] || fail "there is no Comment"
  exec_=$(key Exec)
  [ -x "$root/usr/bin/${exec_%% *}" ] || fail "Exec=$exec_ is not an installed program"
  [ "$(key Icon)" = talvora ] || fail "Icon is not the installed icon's name"
  cats=$(key Categories)
  [[ ";$cats" == *";Office;"* && ";$cats" == *";MedicalSoftware;"* ]] || fail "Categories=$cats"
fi

# --- the declared dependencies: what the program loads or starts at run time
config=$build/CPackConfig.cmake
if [ -f "$config" ]; then
  depends=$(sed -n 's/^set(CPACK_DEBIAN_PACKAGE_DEPENDS "\(.*\)")$/\1/p' "$config")
  shlibdeps=$(sed -n 's/^set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS "\(.*\)")$/\1/p' "$config")
  [ "$(sed -n 's/^set(CPACK_PACKAGING_INSTALL_PREFIX "\(.*\)")$/\1/p' "$config")" = /usr ] ||
    fail "the package does not install under /usr"
  [ "$shlibdeps" = ON ] || fail "the shared libraries' packages are not declared (SHLIBDEPS)"
  for d in qt6-translations-l10n hunspell-ru libqt6svg6; do
    [[ ", $depends," == *", $d,"* ]] || fail "the package does not depend on $d (Depends: $depends)"
  done
  if command -v dpkg >/dev/null && owner=$(dpkg -S "$archiver" 2>/dev/null); then
    owner=${owner%%:*}
    [[ ", $depends," == *", $owner,"* ]] || fail "the archiver $archiver comes from $owner, not a dependency ($depends)"
  fi
  # Where this machine has them, the dependencies hold the files the program
  # reads: Qt's Russian texts and the Russian dictionary.
  owns() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed" || return 0
    dpkg -L "$1" | grep -xF "$2" >/dev/null || fail "the dependency $1 does not provide $2"
  }
  if command -v dpkg-query >/dev/null; then
    owns qt6-translations-l10n /usr/share/qt6/translations/qtbase_ru.qm
    owns hunspell-ru /usr/share/hunspell/ru_RU.dic
  fi
else
  fail "CPackConfig.cmake is missing: the package cannot be made"
fi
[[ "$archiver" == /usr/bin/* ]] || fail "the program starts the archiver $archiver, which no package installs"
# The path is kept as a UTF-16 literal in the program.
if command -v strings >/dev/null; then
  strings -a -el "$root/usr/bin/talvora" | grep -F "$archiver" >/dev/null ||
    fail "the installed program does not name the archiver $archiver"
fi

# --- the installed tool makes the databases with the starter department
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data
mkdir -p "$HOME"
db=$root/usr/bin/talvora-db
aliases=(--alias "pacientdata=$scratch/db/pacientdata" --alias "Errors=$scratch/db/Errors")
if ! "$db" init "${aliases[@]}" >"$scratch/init.log" 2>&1; then
  cat "$scratch/init.log"
  fail "the installed talvora-db cannot init a database"
else
  [ -f "$scratch/db/pacientdata/database.sqlite" ] || fail "init made no workstation database"
  out=$("$db" sql --alias "pacientdata=$scratch/db/pacientdata" 'select Ootd from Otdelen' 2>&1)
  grep -q 'Неврологическое отделение' <<<"$out" || fail "the starter department is missing: $out"
  out=$("$db" sql --alias "pacientdata=$scratch/db/pacientdata" 'select ShName, ShRes from SHablon' 2>&1)
  grep -q 'Выписной эпикриз' <<<"$out" || fail "the starter templates are missing: $out"
  # Every template carries a Word document (its size in bytes), none is empty.
  sizes=$(tail -n +2 <<<"$out" | cut -f2)
  [ -n "$sizes" ] && ! grep -qvE '^[1-9][0-9]+$' <<<"$sizes" || fail "a starter template has no document: $out"
fi
usage=$("$root/usr/bin/talvora-doc" 2>&1) # without a command: its usage, exit code 1
grep -q 'from-html' <<<"$usage" || fail "the installed talvora-doc does not start: $usage"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "installed files: all checks passed"
