#!/usr/bin/env bash
# run-demo.sh BIN_FOLDER [PROGRAM_OPTION...]: what `tools/run --demo` runs.
# Starts the desktop program in a throwaway home with the sample messages in its JunkChute folder, a loopback
# WHOIS server that answers for the samples' documentation addresses, and a local SMTP server that keeps
# every complaint it receives as a file; the program is routed to both. Ending the program ends the servers.
set -euo pipefail
bin=$(cd "$1" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
demo=$(mktemp -d /tmp/nettlewright-demo.XXXXXX)
home=$demo/home
complaints=$demo/complaints
mkdir -p "$home/Desktop/JunkChute" "$home/.config/nettlewright" "$complaints"
# A runtime folder of its own, so that a Nettlewright already running for the user is not taken for this one;
# a Wayland display is then named by its full path.
mkdir -m 700 "$demo/runtime"
if [ -n "${WAYLAND_DISPLAY:-}" ] && [ "${WAYLAND_DISPLAY#/}" = "$WAYLAND_DISPLAY" ] && [ -n "${XDG_RUNTIME_DIR:-}" ]; then
    export WAYLAND_DISPLAY="$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"
fi
cp "$top"/samples/*.eml "$home/Desktop/JunkChute/"

# Both servers read this pipe and stop when the demo's end closes it, however the demo ends.
mkfifo "$demo/hold"
# Debian's Python, which has the aiosmtpd package that tools/deps.sh installs.
/usr/bin/python3 "$top/tests/servers/smtp_sink.py" --eml "$complaints" <"$demo/hold" >"$demo/smtp.port" 2>>"$demo/servers.log" &
/usr/bin/python3 "$here/whois_demo.py" <"$demo/hold" >"$demo/whois.port" 2>>"$demo/servers.log" &
exec 9>"$demo/hold"
port() {
    local _
    for _ in $(seq 100); do
        grep -q '^PORT ' "$1" 2>/dev/null && { sed -n 's/^PORT //p' "$1"; return; }
        sleep 0.1
    done
    echo "The demo's server did not start; see $demo/servers.log" >&2
    exit 1
}
smtp=$(port "$demo/smtp.port")
whois=$(port "$demo/whois.port")

# The SMTP server of the settings is the local one; the vendor's statistics service points at a closed
# loopback port, so nothing leaves this machine.
cat >"$home/.config/nettlewright/nettlewright.conf" <<CONF
[Setup]
SMTP=127.0.0.1
SMTPPort=$smtp
SMTPSecurity=none
ReturnAddress=you@example.com
UseMyReturn=1
CopyEmail=0
VendorBase=http://127.0.0.1:9
CONF

# The samples' addresses are documentation addresses, for which the tables name the server "private"; the
# registries' servers are routed too, so that no look-up leaves the machine.
routes=()
for server in private whois.arin.net whois.ripe.net whois.apnic.net whois.lacnic.net whois.afrinic.net; do
    routes+=(--route "$server=127.0.0.1:$whois")
done

cat <<TEXT
Nettlewright demo
  home:        $home  (JunkChute folder: $home/Desktop/JunkChute)
  WHOIS:       127.0.0.1:$whois, answers for the samples' addresses with abuse@example.net
  SMTP:        127.0.0.1:$smtp, keeps each complaint as $complaints/N.eml
Process the messages by hand (JunkChute Folder, Process Message, then Send Message in Complaint to Send)
or with "Activate JunkChute Monitor". Leave the program to end the demo.
TEXT
status=0
env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    XDG_STATE_HOME="$home/.local/state" XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$demo/runtime" \
    "$bin/nettlewright" "${routes[@]}" "$@" || status=$?
exec 9>&-
wait
count=$(find "$complaints" -name '*.eml' | wc -l)
echo "$count complaint(s) arrived at the demo's SMTP server: $complaints"
# Run from the build tree, the program keeps its logs beside itself.
echo "What happened to each message: the last lines of $bin/Nettlewright.log"
exit "$status"
