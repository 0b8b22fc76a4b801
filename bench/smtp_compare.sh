#!/usr/bin/env bash
# Side by side, against one local aiosmtpd server: N messages of about 4 KB, one SMTP session
# each, sent by bench_SmtpThroughput (TSmtpCli), by msmtp started once per message, and by one
# Python smtplib process. Then the CPU time of a client that waits for a server which sends
# its banner only after a few seconds.
#
# Usage: bench/smtp_compare.sh [BUILD_DIR] [N]
#   BUILD_DIR: a build configured with -DBREVANT_BENCH=ON (default: build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
count=${2:-1000}
bench="$build/bin/bench_SmtpThroughput"
[ -x "$bench" ] || { echo "missing $bench (cmake -DBREVANT_BENCH=ON, build bench_SmtpThroughput)"; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

source bench/smtp_bench_common.sh
start_smtp_server
write_bench_message

run_brevant() {
  SMTP_PORT=$port SMTP_MESSAGES=$count "$bench" --benchmark_filter=SessionPerMessage >"$work/bench.txt" 2>&1
  grep -q "failures=0" "$work/bench.txt" || { cat "$work/bench.txt"; exit 1; }
}
run_msmtp() {
  for i in $(seq "$count"); do
    msmtp -C /dev/null --host=127.0.0.1 --port="$port" --auth=off --tls=off --domain=bench.local \
      --from=sender@example.org "reader$i@example.org" <"$work/msg.eml"
  done
}
run_python() {
  /usr/bin/python3 - "$port" "$count" "$work/msg.eml" <<'PY'
import smtplib, sys
port, n, msg = int(sys.argv[1]), int(sys.argv[2]), open(sys.argv[3], newline="").read()
for i in range(n):
    with smtplib.SMTP("127.0.0.1", port, local_hostname="bench.local") as s:
        s.sendmail("sender@example.org", ["reader%d@example.org" % i], msg)
PY
}
timed() { local t; t=$(now); "$@"; elapsed "$t"; }

# The machine may be shared: TSmtpCli and smtplib run twice, alternating, so that both see
# the same load; msmtp, far slower, runs once.
brevant1=$(timed run_brevant); python1=$(timed run_python)
brevant2=$(timed run_brevant); python2=$(timed run_python)
msmtp_time=$(timed run_msmtp)

echo "messages stored by the server: $(ls "$work/spool" | grep -c '^msg-') (5 runs of $count)"
printf '%-40s %8.2f s %8.2f s\n' "TSmtpCli ($count sessions, 1 process)" "$brevant1" "$brevant2" \
  "Python smtplib (1 process)" "$python1" "$python2"
printf '%-40s %8.2f s\n' "msmtp (1 process per message)" "$msmtp_time"

# A server that waits 3 s before its banner: the waiting client should use next to no CPU.
/usr/bin/python3 - >"$work/slowport" <<'PY' &
import socket, sys, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(1)
print("PORT %d" % s.getsockname()[1], flush=True)
c, _ = s.accept()
time.sleep(3)
c.sendall(b"220 late banner\r\n")
c.recv(100)
c.sendall(b"250 ok\r\n")
time.sleep(0.5)
PY
pids+=($!)
for _ in $(seq 100); do grep -q PORT "$work/slowport" 2>/dev/null && break; sleep 0.1; done
slow=$(awk '/PORT/ {print $2}' "$work/slowport")
SLOW_SMTP_PORT=$slow /usr/bin/time -f "waiting on a slow server: %e s elapsed, %U s user, %S s system" \
  "$bench" --benchmark_filter=WaitForSlowServer 2>&1 | grep -E "WaitForSlowServer/|waiting on"
