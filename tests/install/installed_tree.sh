#!/usr/bin/env bash
# Installs the build into a temporary prefix and starts both programs from there with a
# fresh home: they must find their help page and keep their data in the user's data folder.
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/usr" >/dev/null
prefix=$tmp/usr
for f in bin/brevant bin/brevant-cli share/applications/brevant.desktop share/brevant/Help.html \
         share/icons/hicolor/scalable/apps/brevant.svg share/icons/hicolor/48x48/apps/brevant.png \
         share/icons/hicolor/256x256/apps/brevant.png; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
[ ! -e "$prefix/bin/portable" ] || { echo "the build folder's portable marker was installed"; exit 1; }
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$prefix/share/applications/brevant.desktop"; fi

export HOME=$tmp/home
unset XDG_DATA_HOME
mkdir -p "$HOME"
"$prefix/bin/brevant-cli" lists
[ -d "$HOME/.local/share/Brevant" ] || { echo "brevant-cli made no data folder"; exit 1; }
"$prefix/bin/brevant-cli" --data-dir "$tmp/elsewhere" lists
[ -d "$tmp/elsewhere" ] || { echo "--data-dir was not used"; exit 1; }

# The window keeps running until stopped; it must still be up after a few seconds.
rc=0
QT_QPA_PLATFORM=offscreen timeout 4 "$prefix/bin/brevant" || rc=$?
[ "$rc" -eq 124 ] || { echo "the installed window ended with $rc"; exit 1; }
for folder in Inbox Sent Trash; do
  [ -d "$HOME/.local/share/Brevant/$folder" ] || { echo "no $folder in the data folder"; exit 1; }
done
[ ! -e "$prefix/bin/Inbox" ] || { echo "data was written beside the installed program"; exit 1; }
echo "installed tree works"
