#!/usr/bin/env bash
# install-check.sh BUILD_DIR APP_ID
# Installs the build into a temporary DESTDIR and checks what a user gets: the layout, the launcher entry and
# the metainfo as the desktop's own tools read them, the command-line tool run from a read-only prefix, and
# the desktop program from a read-only prefix, whose error log must land in the user's own folder.
set -euo pipefail
build=$1 app=$2
root=$(mktemp -d)
desktop_pid=
cleanup() { [ -z "$desktop_pid" ] || kill "$desktop_pid" 2>/dev/null || true; chmod -R u+w "$root"; rm -rf "$root"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
chmod 755 "$root"
DESTDIR="$root/dest" cmake --install "$build" --prefix /usr >/dev/null
prefix=$root/dest/usr

icons=share/icons/hicolor
for f in bin/nettlewright bin/nettlewright-cli share/nettlewright/whois.rir share/nettlewright/whois.srv \
    share/applications/$app.desktop share/metainfo/$app.metainfo.xml $icons/scalable/apps/$app.svg \
    $icons/scalable/places/$app-junkchute.svg $icons/{16x16,48x48,256x256}/apps/$app.png \
    share/man/man1/nettlewright.1.gz share/man/man1/nettlewright-cli.1.gz share/doc/nettlewright/copyright; do
    [ -s "$prefix/$f" ] || fail "the install lacks $f"
done
# A PNG's width and height stand at bytes 16 to 23.
[ "$(od -An -tx1 -j16 -N8 "$prefix/$icons/48x48/apps/$app.png" | tr -d ' \n')" = 0000003000000030 ] ||
    fail "the 48 px icon is not 48 x 48"
desktop-file-validate "$prefix/share/applications/$app.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$app.metainfo.xml"

# The user runs the installed programs and cannot write to the prefix: as root the programs run as nobody.
home=$root/home
mkdir -p "$home/.config/nettlewright" "$home/Desktop"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    chmod -R a+rX "$root/dest" # whatever the umask, as a package would install it
    chown -R nobody "$home"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
    chmod -R a-w "$prefix"
fi
run() { "${as_user[@]}" env -i HOME="$home" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen "$@"; }
touch "$root/start"

samples=("$prefix"/share/nettlewright/samples/*.eml)
analyses=$(run "$prefix/bin/nettlewright-cli" analyze --no-dns "${samples[@]}")
[ "$(grep -c '"fullHeader":' <<<"$analyses")" -eq "${#samples[@]}" ] || fail "not every sample was analysed: $analyses"
grep -q '"ip":"[0-9]' <<<"$analyses" || fail "no sample yielded an address"
# The tables are read from the install's share folder, and a table fetched into the user's data folder takes
# the shipped one's place.
selected() { run "$prefix/bin/nettlewright-cli" whois --select-only 192.0.2.1 | cut -f2; }
[ "$(selected)" = private ] || fail "the installed tables were not found"
mkdir -p "$home/.local/share/nettlewright"
printf '# fetched 200\n192.0.2.0/24\twhois.fetched.example\n' >"$home/.local/share/nettlewright/whois.rir"
chown -R --reference="$home" "$home/.local"
[ "$(selected)" = whois.fetched.example ] || fail "a fetched table does not take the shipped one's place"

# A stored switch that is not a number is a failure the program reports: its log goes to the user's state folder.
printf '[Setup]\nSMTP=127.0.0.1\nCopyEmail=yes\n' >"$home/.config/nettlewright/nettlewright.conf"
chown -R --reference="$home" "$home/.config"
log=$home/.local/state/nettlewright/Nettlewright.err
# Started directly, not through run(), so that the process id is the program's own.
"${as_user[@]}" env -i HOME="$home" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen "$prefix/bin/nettlewright" &
desktop_pid=$!
timeout 30 bash -c 'until grep -qs -- "-- Stack --" "$1"; do sleep 0.1; done' _ "$log" || true
# The record and the stack section both written: neither "Unable to Write Error Log" nor "Unable to Process
# Stack Request" can have been shown.
grep -q -- '-- Error --' "$log" && grep -q -- '-- Stack --' "$log" || fail "no error log in $log"
kill "$desktop_pid"
wait "$desktop_pid" 2>/dev/null || true
desktop_pid=
written=$(find "$prefix" -newer "$root/start")
[ -z "$written" ] || fail "the programs wrote into the prefix: $written"
echo "install layout, launcher files and read-only prefix as expected"
