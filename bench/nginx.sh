# Sourced by the benchmark scripts: start_nginx WORK ROOT PROBE serves ROOT on a
# free loopback port from a config under WORK, waits until PROBE (a path under
# ROOT) answers, and sets $port and $nginx_pid (the caller stops it).
nginx=$(command -v nginx || echo /usr/sbin/nginx)
start_nginx() {
  local work=$1 root=$2 probe=$3
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  mkdir -p "$work"/nginx/{body,proxy,fastcgi,uwsgi,scgi}
  cat > "$work/nginx/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx/nginx.pid;
lock_file $work/nginx/nginx.lock;
error_log $work/nginx/error.log;
events { worker_connections 256; }
http {
  access_log $work/nginx/access.log;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  default_type application/octet-stream;
  # What a page loads must come with its type (module scripts are refused otherwise).
  types { text/html html; text/javascript js mjs; application/wasm wasm; image/jpeg jpg;
          image/bmp bmp; image/png png; }
  keepalive_requests 1000000;
  server {
    listen 127.0.0.1:$port;
    root $root;
  }
}
CONF
  "$nginx" -e "$work/nginx/error.log" -p "$work/nginx/" -c "$work/nginx/nginx.conf" &
  nginx_pid=$!
  local url=http://127.0.0.1:$port/$probe
  for _ in $(seq 100); do
    curl -s -o /dev/null -r 0-0 "$url" && return 0
    sleep 0.1
  done
  echo "nginx did not start" >&2
  cat "$work/nginx/error.log" >&2
  exit 1
}
