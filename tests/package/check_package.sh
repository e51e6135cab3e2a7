#!/usr/bin/env bash
# Builds the Debian package of this build with CPack and checks it as apt and
# a desktop would see it: the files, the computed Depends, the desktop entry
# and AppStream data it ships, and lintian's verdict when lintian is installed.
#   check_package.sh CPACK BUILD_DIR GAME_DIR
set -euo pipefail
cpack=$1 build=$2 game=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

(cd "$build" && "$cpack" --config CPackConfig.cmake -B "$out" > "$out/cpack.log" 2>&1) ||
  { cat "$out/cpack.log"; exit 1; }
debs=("$out"/mirvo_*_"$(dpkg --print-architecture)".deb)
[ -f "${debs[0]}" ] || { ls "$out"; echo "FAIL: no mirvo_<version>_<arch>.deb"; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb")"

# ---- files ----
dpkg-deb --contents "$deb" | awk '{ sub(/^\./, "", $6); print $6 }' > "$out/contents"
expect=(
  /usr/games/mirvo
  /usr/share/applications/mirvo.desktop
  /usr/share/metainfo/invalid.mirvo.mirvo.metainfo.xml
  /usr/share/icons/hicolor/32x32/apps/mirvo.png
  /usr/share/icons/hicolor/48x48/apps/mirvo.png
  /usr/share/icons/hicolor/64x64/apps/mirvo.png
  /usr/share/man/man6/mirvo.6.gz
  /usr/share/doc/mirvo/copyright
  /usr/share/doc/mirvo/changelog.gz
  /usr/bin/mirvo-asm /usr/share/man/man1/mirvo-asm.1.gz
  /usr/bin/mirvo-eif /usr/share/man/man1/mirvo-eif.1.gz
  /usr/bin/mirvo-run /usr/share/man/man1/mirvo-run.1.gz
)
# Every file the game folder assembles, but the program and a player's settings.
for f in "$game"/*; do
  name=$(basename "$f")
  [ -f "$f" ] && [ "$name" != mirvo ] && [[ "$name" != mirvo.cfg* ]] &&
    expect+=("/usr/share/games/mirvo/$name")
done
for f in "${expect[@]}"; do
  grep -qxF "$f" "$out/contents" || fail "$f is not in the package"
done
# Every program has its manual page.
while read -r tool; do
  grep -qxF "/usr/share/man/man1/$tool.1.gz" "$out/contents" || fail "$tool has no manual page"
done < <(sed -n 's|^/usr/bin/\(.\+\)$|\1|p' "$out/contents")
grep -v '^/usr/' "$out/contents" && fail "files outside /usr"
grep -q '^/usr/share/games/mirvo/mirvo.cfg' "$out/contents" && fail "a settings file is packaged"

# ---- control ----
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
names=$(tr ',' '\n' <<< "$depends" | sed 's/(.*//; s/ //g')
for lib in liballegro4.4 liballeggl4.4 libgl1 libc6 libstdc++6; do
  grep -qxF "$lib" <<< "$names" || fail "Depends lacks $lib"
done
[ "$(dpkg-deb --field "$deb" Section)" = games ] || fail "Section is not games"
# mirvo-run --video needs ffmpeg and --chart gnuplot; nothing else does.
[ "$(dpkg-deb --field "$deb" Recommends)" = "ffmpeg, gnuplot-nox" ] || fail "Recommends is not ffmpeg, gnuplot-nox"
[ "$(dpkg-deb --field "$deb" Suggests)" = "inotify-tools" ] || fail "Suggests is not inotify-tools"
# apt resolves the Depends on this machine (simulated: nothing is installed).
apt-get install --simulate -qq "$deb" > "$out/apt.log" 2>&1 || { cat "$out/apt.log"; fail "apt-get cannot install it"; }

# ---- what the package ships, validated ----
dpkg-deb --extract "$deb" "$out/root"
if command -v desktop-file-validate > /dev/null; then
  msg=$(desktop-file-validate "$out/root/usr/share/applications/mirvo.desktop" 2>&1) || true
  [ -z "$msg" ] || fail "desktop-file-validate: $msg"
fi
if command -v appstreamcli > /dev/null; then
  appstreamcli validate --no-net "$out/root/usr/share/metainfo/invalid.mirvo.mirvo.metainfo.xml" ||
    fail "appstreamcli validate"
fi
if command -v lintian > /dev/null; then
  # Warnings are shown; errors fail.
  lint=0
  lintian --fail-on error "$deb" > "$out/lintian.log" 2>&1 || lint=$?
  grep -v '^running with root privileges' "$out/lintian.log" || true
  [ "$lint" -eq 0 ] || fail "lintian reports errors"
else
  echo "lintian is not installed: not run"
fi
exit $failed
