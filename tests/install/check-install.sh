#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a Linux desktop needs of it:
# the programs, the desktop entry, the icon, the AppStream metainfo and the man pages, each
# where the desktop looks for it and valid by the desktop's own tools.
# Usage: check-install.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
id=io.github.kelvaro.ModelInterface

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
home=$work/home
mkdir -p "$home"

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/kvgui bin/kvopt bin/demo-model; do
    [ -x "$prefix/$f" ] || fail "$f is missing or not executable"
done
for f in "share/applications/$id.desktop" "share/icons/hicolor/scalable/apps/$id.svg" \
         "share/metainfo/$id.metainfo.xml" share/man/man1/kvopt.1.gz share/man/man1/kvgui.1.gz \
         share/man/man1/demo-model.1.gz share/kelvaro-model-interface/demo/model/demo.opt.in \
         share/kelvaro-model-interface/demo/model/reports/reports.sqlite; do
    [ -s "$prefix/$f" ] || fail "$f is missing or empty"
done

desktop-file-validate "$prefix/share/applications/$id.desktop"
# The entry starts the installed program by its full path, whatever the session's PATH.
exec_line=$(grep '^Exec=' "$prefix/share/applications/$id.desktop")
[ "$exec_line" = "Exec=$prefix/bin/kvgui" ] || fail "the desktop entry says $exec_line"
# A prefix with a blank and a dollar sign is quoted and escaped as the desktop's rules ask.
odd="$work/my \$apps"
cmake --install "$build" --prefix "$odd" >/dev/null
desktop-file-validate "$odd/share/applications/$id.desktop"
exec_line=$(grep '^Exec=' "$odd/share/applications/$id.desktop")
[ "$exec_line" = "Exec=\"$work/my \\\\\$apps/bin/kvgui\"" ] || fail "the desktop entry says $exec_line"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null ||
    appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"
grep -q '^<svg' "$prefix/share/icons/hicolor/scalable/apps/$id.svg" || fail "the icon is no SVG"
kvopt_page=$(gzip -dc "$prefix/share/man/man1/kvopt.1.gz")
grep -q '^\.TH KVOPT "1"' <<<"$kvopt_page" || fail "kvopt.1 has no man header"
grep -q 'refdb\\-import' <<<"$kvopt_page" || fail "kvopt.1 lacks the commands"

# The installed programs answer without a display, keep their files in the user's
# directories and write nothing for --help and --version.
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_CONFIG_HOME -u XDG_STATE_HOME \
            -u QT_QPA_PLATFORM HOME="$home" "$@"; }
[ "$(run "$prefix/bin/kvgui" --version)" = "kvgui (Kelvaro Model Interface) $version" ] ||
    fail "kvgui --version"
run "$prefix/bin/kvgui" --help | grep -qx "  $home/.config/kelvaro/kv-gui.ini" ||
    fail "kvgui --help does not name kv-gui.ini in ~/.config/kelvaro"
run "$prefix/bin/kvgui" --help | grep -q "^  $home/.local/state/kelvaro/region.txt" ||
    fail "kvgui --help does not name the log in ~/.local/state/kelvaro"
run "$prefix/bin/kvopt" --version | grep -qx "kvopt (Kelvaro Model Interface) $version" ||
    fail "kvopt --version"
[ -z "$(ls -A "$home")" ] || fail "--help or --version wrote into the home directory"
[ "$(ls "$prefix/bin")" = "$(printf 'demo-model\nkvgui\nkvopt')" ] ||
    fail "something was written beside the installed programs"
echo "installation checked in $prefix"
