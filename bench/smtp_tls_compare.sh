#!/usr/bin/env bash
# Side by side, against one local aiosmtpd with STARTTLS and a required login (AUTH only after
# TLS): N messages of about 4 KB, one session each with STARTTLS and AUTH PLAIN, sent by
#   - bench_SmtpThroughput (TSmtpCli, one process, TLS sessions resumed across sessions),
#   - one Python smtplib process (starttls, login),
#   - msmtp started once per message (--tls=on --tls-starttls=on --auth=plain).
# Certificates are made here with openssl, and checked by every client. Then the CPU time of
# a client waiting in a TLS handshake with a server that accepts and says nothing for 3 s.
#
# Usage: bench/smtp_tls_compare.sh [N]   (N defaults to 1000; BUILD defaults to build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-1000}
build=${BUILD:-build-bench}
# A build configured already (the tests' own, say) only gains the benchmarks.
if [ -f "$build"/CMakeCache.txt ]; then
  cmake -S . -B "$build" -DBREVANT_BENCH=ON >/dev/null
else
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBREVANT_BENCH=ON -DBREVANT_TESTS=OFF >/dev/null
fi
nice cmake --build "$build" -j2 --target bench_SmtpThroughput >/dev/null
bench="$build/bench/bench_SmtpThroughput"
[ -x "$bench" ] || bench="$build/bin/bench_SmtpThroughput"
[ -x "$bench" ] || { echo "missing bench_SmtpThroughput in $build"; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# A test CA and a server certificate for 127.0.0.1, valid for a day.
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Bench CA" -keyout "$work/ca.key" \
  -out "$work/ca.crt" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=127.0.0.1" -keyout "$work/server.key" -out "$work/server.csr" \
  2>/dev/null
printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n' >"$work/san.ext"
openssl x509 -req -in "$work/server.csr" -CA "$work/ca.crt" -CAkey "$work/ca.key" -CAcreateserial -days 1 \
  -extfile "$work/san.ext" -out "$work/server.crt" 2>/dev/null

source bench/smtp_bench_common.sh
start_smtp_server --cert "$work/server.crt" --key "$work/server.key" \
  --auth bench:s3cret --auth-require-tls
write_bench_message

run_brevant() {
  # A session that stops moving ends the run rather than hanging it.
  SMTP_PORT=$port SMTP_MESSAGES=$count SMTP_SECURITY=starttls SMTP_CA="$work/ca.crt" SMTP_LOGIN=bench:s3cret \
    timeout 600 "$bench" --benchmark_filter=SessionPerMessage >"$work/bench.txt" 2>&1 ||
    { echo "bench_SmtpThroughput stopped (a stalled session?) after $(ls "$work/spool" | grep -c '^msg-') messages" >&2; exit 1; }
  grep -q "failures=0" "$work/bench.txt" || { cat "$work/bench.txt" >&2; exit 1; }
  grep -o "tls_resumed=[0-9]*" "$work/bench.txt" >>"$work/resumed"
}
run_msmtp() {
  for i in $(seq "$count"); do
    msmtp -C /dev/null --host=127.0.0.1 --port="$port" --tls=on --tls-starttls=on \
      --tls-trust-file="$work/ca.crt" --auth=plain --user=bench --passwordeval="echo s3cret" \
      --domain=bench.local --from=sender@example.org "reader$i@example.org" <"$work/msg.eml"
  done
}
run_python() {
  /usr/bin/python3 - "$port" "$count" "$work/msg.eml" "$work/ca.crt" <<'PY'
import smtplib, ssl, sys
port, n, msg = int(sys.argv[1]), int(sys.argv[2]), open(sys.argv[3], newline="").read()
context = ssl.create_default_context(cafile=sys.argv[4])
for i in range(n):
    with smtplib.SMTP("127.0.0.1", port, local_hostname="bench.local") as s:
        s.starttls(context=context)
        s.login("bench", "s3cret")
        s.sendmail("sender@example.org", ["reader%d@example.org" % i], msg)
PY
}
timed() { local t; t=$(now); "$@"; elapsed "$t"; }

# The machine may be shared: TSmtpCli and smtplib run twice, alternating; msmtp once.
brevant1=$(timed run_brevant); python1=$(timed run_python)
brevant2=$(timed run_brevant); python2=$(timed run_python)
msmtp_time=$(timed run_msmtp)

echo "messages stored by the server: $(ls "$work/spool" | grep -c '^msg-') (5 runs of $count)"
echo "TSmtpCli sessions resumed (per run): $(tr '\n' ' ' <"$work/resumed")"
printf '%-48s %8.2f s %8.2f s\n' "TSmtpCli STARTTLS+AUTH ($count sessions)" "$brevant1" "$brevant2" \
  "Python smtplib STARTTLS+login (1 process)" "$python1" "$python2"
printf '%-48s %8.2f s\n' "msmtp STARTTLS+AUTH (1 process per message)" "$msmtp_time"
best=$(printf '%s\n%s\n' "$brevant1" "$brevant2" | sort -g | head -1)
echo "msmtp / TSmtpCli: $(echo "scale=2; $msmtp_time / $best" | bc)x"

# A server that accepts and says nothing for 3 s, then closes: the client waits in its TLS
# handshake (TLS from the first byte) and should use next to no CPU meanwhile.
/usr/bin/python3 - >"$work/silentport" <<'PY' &
import socket, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(1)
print("PORT %d" % s.getsockname()[1], flush=True)
c, _ = s.accept()
time.sleep(3)
c.close()
PY
pids+=($!)
for _ in $(seq 100); do grep -q PORT "$work/silentport" 2>/dev/null && break; sleep 0.1; done
silent=$(awk '/PORT/ {print $2}' "$work/silentport")
SLOW_SMTP_PORT=$silent SMTP_SECURITY=tls SMTP_CA="$work/ca.crt" \
  /usr/bin/time -f "waiting 3 s in a TLS handshake: %e s elapsed, %U s user, %S s system" \
  "$bench" --benchmark_filter=WaitForSlowServer 2>&1 | grep -E "waiting"
