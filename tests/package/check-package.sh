#!/usr/bin/env bash
# Builds the Debian package, checks it with lintian, installs it with apt on this machine,
# runs the installed programs as a user who has never configured anything (kvgui --demo until
# its window waits for the user, then SIGTERM; kvopt check on the demo copy it made), and
# purges it again, checking that none of its files is left. The package is purged however the
# check ends. It needs root, as apt does; otherwise it says so and skips.
# Usage: check-package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
package=kelvaro-model-interface
id=io.github.kelvaro.ModelInterface

if [ "$(id -u)" -ne 0 ]; then
    echo "check-package: skipped: installing and purging the package needs root"
    exit 0
fi
start=$SECONDS
fail() { echo "check-package: FAIL: $*" >&2; exit 1; }
export DEBIAN_FRONTEND=noninteractive

scripts/install-deps package
work=$(mktemp -d)
# apt's own lines are shown only when it fails.
apt_get() { apt-get -y -qq "$@" >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; return 1; }; }
installed=no
cleanup() {
    if [ "$installed" = yes ]; then
        apt_get purge "$package" || echo "check-package: the purge failed" >&2
    fi
    rm -rf "$work"
}
trap cleanup EXIT

rm -f "$build/${package}"_*.deb
cmake --build "$build" --target package >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
debs=("$build/${package}"_*.deb)
deb=$(realpath "${debs[0]}")
version=$(dpkg-deb -f "$deb" Version)
echo "check-package: built $(basename "$deb") ($(du -k "$deb" | cut -f1) KiB)"

# No error; every warning is one the installation guide lists with its reason.
status=0
lintian --fail-on error "$deb" >"$work/lintian" 2>&1 || status=$?
grep -v 'running with root privileges' "$work/lintian" || true
[ "$status" -eq 0 ] || fail "lintian found errors"
for tag in $(sed -n 's/^W: [^ ]* \([^ ]*\).*/\1/p' "$work/lintian" | sort -u); do
    grep -q "\`$tag\`" docs/guide/installation.md ||
        fail "the lintian warning $tag is not listed in docs/guide/installation.md"
done

# A package left by an earlier run would make the purge below prove nothing.
if dpkg-query -W "$package" >/dev/null 2>&1; then
    apt_get purge "$package"
fi
installed=yes
apt_get install --no-install-recommends "$deb"
upstream=${version%-*}
[ "$(kvopt --version)" = "kvopt (Kelvaro Model Interface) $upstream" ] || fail "kvopt --version"
[ "$(kvgui --version)" = "kvgui (Kelvaro Model Interface) $upstream" ] || fail "kvgui --version"
grep -qx "Exec=/usr/bin/kvgui" "/usr/share/applications/$id.desktop" ||
    fail "the desktop entry does not start /usr/bin/kvgui"

# A user who has never configured anything opens the demo. The program says so once its
# window waits for the user with the demo's scenario open.
home=$work/home
mkdir -p "$home"
user_env=(env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_CONFIG_HOME -u XDG_STATE_HOME
          -u XDG_DATA_HOME HOME="$home" QT_QPA_PLATFORM=offscreen)
demo=$home/.local/share/kelvaro/demo
"${user_env[@]}" kvgui --demo >"$work/kvgui.out" 2>"$work/kvgui.err" &
pid=$!
for _ in $(seq 300); do
    grep -q "^Opened the demo scenario" "$work/kvgui.out" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
grep -qx "Opened the demo scenario $demo/model/demo.opt" "$work/kvgui.out" || {
    cat "$work/kvgui.out" "$work/kvgui.err" >&2
    kill -TERM "$pid" 2>/dev/null || true
    fail "kvgui --demo did not open the demo"
}
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "kvgui ended with status $status after SIGTERM"
tail -n 2 "$home/.local/state/kelvaro/region.txt" | tr -d '\r' |
    diff - <(printf 'Ending run\n****************************\n') >/dev/null ||
    fail "the log does not end the run"
[ ! -e "$home/.config/kelvaro/kv-gui.ini" ] || fail "kvgui --demo wrote kv-gui.ini"
(cd "$demo" && sha256sum --quiet -c copied-files.sha256) || fail "the demo copy differs from its manifest"
(cd "$demo/model" && "${user_env[@]}" kvopt check demo.opt >"$work/check.out") ||
    { cat "$work/check.out" >&2; fail "kvopt check refused the demo copy"; }

apt_get purge "$package"
installed=no
[ -z "$(dpkg -L "$package" 2>/dev/null)" ] || fail "dpkg still lists files of $package"
[ ! -e "/usr/share/$package" ] || fail "/usr/share/$package is left"
dpkg-deb --fsys-tarfile "$deb" | tar -t | while read -r path; do
    [[ "$path" == */ ]] || [ ! -e "/${path#./}" ] || fail "/${path#./} is left"
done
echo "check-package: passed in $((SECONDS - start)) s"
