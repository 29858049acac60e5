#!/usr/bin/env bash
# Starts or stops a private nginx on a free loopback port for the HTTP tests.
#   nginx-fixture.sh start DIR   serves DIR/www, logs requests to DIR/access.log, writes the port to DIR/port
#   nginx-fixture.sh stop DIR
set -euo pipefail
cmd=$1 dir=$2
nginx=$(command -v nginx || echo /usr/sbin/nginx)

if [ "$cmd" = stop ]; then
    [ -f "$dir/nginx.pid" ] && kill "$(cat "$dir/nginx.pid")" 2>/dev/null || true
    rm -f "$dir/nginx.pid" "$dir/port"
    exit 0
fi
mkdir -p "$dir/www" "$dir/tmp"
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
temp_paths=$(for t in client_body proxy fastcgi uwsgi scgi; do echo "${t}_temp_path $dir/tmp/${t%_body};"; done)
cat >"$dir/nginx.conf" <<CONF
daemon on;
master_process off;
pid $dir/nginx.pid;
error_log $dir/error.log warn;
events { worker_connections 64; }
http {
    access_log $dir/access.log;
    $temp_paths
    default_type application/octet-stream;
    server {
        listen 127.0.0.1:$port;
        root $dir/www;
        # The statistics service answers every request; its log is what the tests read.
        location /nwstats/ { return 200 "ok\n"; }
    }
}
CONF
"$nginx" -c "$dir/nginx.conf" -p "$dir" -e "$dir/error.log"
echo "$port" >"$dir/port"
