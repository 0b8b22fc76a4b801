#!/usr/bin/env bash
# Sending to a distant server: bench/latency_proxy.py holds every chunk LATENCY_MS (default
# 25) ms in each direction between the client and Postfix's smtp-sink on 127.0.0.1. Side by
# side, one run each: the mailing run (bench_MailingRun, N messages of about 4 KB, one
# recipient each, "one at a time") and Postfix's smtp-source with the same number of parallel
# sessions, N messages of 4 KB, sessions kept open between messages (-d).
#
# Usage: [LATENCY_MS=25] [SESSIONS=6] [PER_SESSION=100] bench/smtp_latency.sh [BUILD_DIR] [N]
#   SESSIONS and PER_SESSION default to a server entry's defaults.
#   BUILD_DIR: a build configured with -DBREVANT_BENCH=ON (default: build-bench); N: 1000.
#   SESSIONS=1 PER_SESSION=1 is the order of old: one session per message, one at a time.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
count=${2:-1000}
sessions=${SESSIONS:-6}
bench="$build/bin/bench_MailingRun"
[ -x "$bench" ] || { echo "missing $bench (cmake -DBREVANT_BENCH=ON, build bench_MailingRun)"; exit 1; }
[ -x /usr/sbin/smtp-sink ] || { echo "missing smtp-sink (scripts/setup.sh installs postfix)"; exit 1; }

work=$(mktemp -d)
sink_pid=
proxy_pid=
cleanup() {
  for p in $proxy_pid $sink_pid; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
user=()
[ "$(id -u)" -eq 0 ] && user=(-u nobody)
/usr/sbin/smtp-sink "${user[@]}" "127.0.0.1:$port" 256 &
sink_pid=$!
for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done

coproc PROXY { exec /usr/bin/python3 bench/latency_proxy.py "$port" "${LATENCY_MS:-25}"; }
proxy_pid=$PROXY_PID
read -r _ proxy <&"${PROXY[0]}"

echo "== $count messages of about 4 KB, one recipient each, $sessions sessions at once," \
  "through a proxy holding each chunk ${LATENCY_MS:-25} ms each way to smtp-sink"
export SMTP_PORT=$proxy SMTP_MESSAGES=$count SESSIONS=$sessions PER_SESSION=${PER_SESSION:-100}
# The benchmark's line shows what the server took ("sent=").
/usr/bin/time -f "Brevant mailing run (SESSIONS=$sessions PER_SESSION=$PER_SESSION): %e s elapsed, %U s user, %S s system" \
  "$bench" --benchmark_filter=MailingRunMessages 2>&1 | grep -E "^BM_|elapsed"
/usr/bin/time -f "smtp-source -s $sessions -d: %e s elapsed, %U s user, %S s system" \
  /usr/sbin/smtp-source -s "$sessions" -d -m "$count" -l 4096 -f sender@example.org -t reader@example.org \
  "127.0.0.1:$proxy"
