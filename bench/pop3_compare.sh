#!/usr/bin/env bash
# Side by side: fetching N messages of about 4 KB (UIDL and RETR of each, one session)
# from a local Dovecot with
#   - Brevant's TPop3Cli (bench_Pop3Fetch, Google Benchmark),
#   - one Python poplib process (/usr/bin/python3),
#   - fetchmail (keep, fetch all, UIDL, delivered to a BSMTP file: no process per message),
# and Brevant's whole Get New (bench_GetNew: the same fetch with every message filed in an
# Inbox with its record, examined by list maintenance and recorded in "UIDLs.dat").
# With TLS=1 the same over STLS (Dovecot with ssl = required, a certificate made here and
# checked by both clients): TPop3Cli against poplib's stls(); fetchmail and Get New are left out.
# Usage: [TLS=1] [LATENCY_MS=25] bench/pop3_compare.sh [N]   (N defaults to 1000)
# LATENCY_MS=25 puts bench/latency_proxy.py between every client and Dovecot: each chunk is
# held 25 ms in each direction, as if the server were far away; then only Get New and
# fetchmail are timed, RUNS (default 1) times each.
set -euo pipefail
cd "$(dirname "$0")/.."
N=${1:-1000}
BUILD=${BUILD:-build-bench}
USER_NAME=tester
PASSWORD=secret

# CONFIGURE=0 keeps an existing build folder as it is; a build configured already (the tests'
# own, say) only gains the benchmarks.
if [ "${CONFIGURE:-1}" = 0 ]; then
  :
elif [ -f "$BUILD"/CMakeCache.txt ]; then
  cmake -S . -B "$BUILD" -DBREVANT_BENCH=ON >/dev/null
else
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBREVANT_BENCH=ON -DBREVANT_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" --target bench_Pop3Fetch bench_GetNew >/dev/null

work=$(mktemp -d /tmp/pop3bench.XXXXXX)
chmod 755 "$work"
dovecot_pid=
proxy_pid=
cleanup() {
  if [ -n "$proxy_pid" ]; then
    kill "$proxy_pid" 2>/dev/null || true
    wait "$proxy_pid" 2>/dev/null || true
  fi
  if [ -n "$dovecot_pid" ]; then
    kill "$dovecot_pid" 2>/dev/null || true
    wait "$dovecot_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The maildir: N messages of about 4 KB, some lines beginning with a period.
mkdir -p "$work/Maildir/new" "$work/Maildir/cur" "$work/Maildir/tmp"
/usr/bin/python3 - "$work/Maildir/new" "$N" <<'PY'
import sys, time
folder, n = sys.argv[1], int(sys.argv[2])
stamp = int(time.time())
for i in range(1, n + 1):
    lines = [f"From: Sender {i} <s{i}@example.org>", "To: list@example.org",
             f"Subject: Benchmark message {i}", "", ]
    k = 0
    while sum(len(l) + 1 for l in lines) < 4000:
        k += 1
        lines.append(("." if k % 10 == 0 else "") + f"Line {k} of message {i}: " + "x" * 40)
    with open(f"{folder}/{stamp}.M{i:06d}P1.bench", "w") as f:
        f.write("\n".join(lines) + "\n")
PY

ssl_conf="ssl = no"
if [ "${TLS:-0}" = 1 ]; then
  openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Bench CA" -keyout "$work/ca.key" \
    -out "$work/ca.crt" 2>/dev/null
  openssl req -newkey rsa:2048 -nodes -subj "/CN=127.0.0.1" -keyout "$work/server.key" \
    -out "$work/server.csr" 2>/dev/null
  printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n' >"$work/san.ext"
  openssl x509 -req -in "$work/server.csr" -CA "$work/ca.crt" -CAkey "$work/ca.key" -CAcreateserial -days 1 \
    -extfile "$work/san.ext" -out "$work/server.crt" 2>/dev/null
  ssl_conf="ssl = required
ssl_cert = <$work/server.crt
ssl_key = <$work/server.key"
  export BREVANT_POP3_SECURITY=stls BREVANT_POP3_CA="$work/ca.crt"
fi

if [ "$(id -u)" = 0 ]; then
  chown -R nobody:nogroup "$work/Maildir"
  uid=65534; gid=65534
  users="default_internal_user = dovecot
default_login_user = dovenull"
  login_chroot=
else
  uid=$(id -u); gid=$(id -g)
  users="default_internal_user = $(id -un)
default_login_user = $(id -un)
default_internal_group = $(id -gn)"
  login_chroot="chroot ="
fi
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat > "$work/dovecot.conf" <<CONF
protocols = pop3
listen = 127.0.0.1
base_dir = $work/run
state_dir = $work/state
log_path = $work/dovecot.log
$ssl_conf
disable_plaintext_auth = no
auth_mechanisms = plain login apop
auth_failure_delay = 0
mail_location = maildir:$work/Maildir
$users
passdb {
  driver = passwd-file
  args = $work/users
}
userdb {
  driver = passwd-file
  args = $work/users
}
service pop3-login {
  $login_chroot
  inet_listener pop3 {
    port = $port
  }
}
CONF
echo "$USER_NAME:{PLAIN}$PASSWORD:$uid:$gid::$work/Maildir::" > "$work/users"
/usr/sbin/dovecot -F -c "$work/dovecot.conf" >"$work/dovecot.out" 2>&1 &
dovecot_pid=$!
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.1
done

cat > "$work/poplib_fetch.py" <<PY
import poplib, ssl, sys
p = poplib.POP3("127.0.0.1", $port)
if "${TLS:-0}" == "1":
    p.stls(context=ssl.create_default_context(cafile="$work/ca.crt"))
p.user("$USER_NAME"); p.pass_("$PASSWORD")
count = p.stat()[0]
if len(sys.argv) > 1 and sys.argv[1] == "listing":
    p.uidl()  # one listing, then the messages
    for n in range(1, count + 1):
        p.retr(n)
else:
    for n in range(1, count + 1):
        p.uidl(n)
        p.retr(n)
p.quit()
PY
# One unmeasured session first: Dovecot moves new mail to cur/ and builds its index.
/usr/bin/python3 "$work/poplib_fetch.py"

if [ -n "${LATENCY_MS:-}" ]; then
  coproc PROXY { exec /usr/bin/python3 bench/latency_proxy.py "$port" "$LATENCY_MS"; }
  proxy_pid=$PROXY_PID
  read -r _ port <&"${PROXY[0]}"
  sed -i "s/POP3(\"127.0.0.1\", [0-9]*)/POP3(\"127.0.0.1\", $port)/" "$work/poplib_fetch.py"
  echo "== every client through a proxy holding each chunk ${LATENCY_MS} ms each way"
fi

export BREVANT_POP3_PORT=$port BREVANT_POP3_USER=$USER_NAME BREVANT_POP3_PASS=$PASSWORD
if [ "${TLS:-0}" = 1 ]; then
  echo "== $N messages of about 4 KB, UIDL + RETR each, one session over STLS, Dovecot on 127.0.0.1:$port"
  "$BUILD/bin/bench_Pop3Fetch" --benchmark_filter='iterations:5'
  # Each client in lock-step (UIDL n, RETR n), then each as it fetches best: one listing,
  # then the RETRs (TPop3Cli pipelines them, as Get New does; poplib cannot).
  hyperfine --warmup 1 --runs "${RUNS:-10}" --export-markdown "$work/side.md" \
    -n "Brevant TPop3Cli over STLS, lock-step" "$BUILD/bin/bench_Pop3Fetch --benchmark_filter=UidlRetrAll/0/iterations:1" \
    -n "python3 poplib over stls(), lock-step" "/usr/bin/python3 $work/poplib_fetch.py" \
    -n "Brevant TPop3Cli over STLS, listing + pipelined RETR" "$BUILD/bin/bench_Pop3Fetch --benchmark_filter=UidlRetrAll/1/iterations:1" \
    -n "python3 poplib over stls(), listing + RETR" "/usr/bin/python3 $work/poplib_fetch.py listing" >/dev/null
  cat "$work/side.md"
  echo "== CPU of one fetch each (the rest of the time is Dovecot's)"
  /usr/bin/time -f "TPop3Cli over STLS: %e s elapsed, %U s user, %S s system" \
    "$BUILD/bin/bench_Pop3Fetch" --benchmark_filter=UidlRetrAll/1/iterations:1 >/dev/null
  /usr/bin/time -f "poplib over stls(): %e s elapsed, %U s user, %S s system" /usr/bin/python3 "$work/poplib_fetch.py" listing
  exit 0
fi

export FETCHMAILHOME="$work"
cat > "$work/fetchmailrc" <<RC
set no syslog
poll 127.0.0.1 port $port protocol pop3 uidl
  user "$USER_NAME" there with password "$PASSWORD" is root here options keep fetchall sslproto ''
RC
chmod 600 "$work/fetchmailrc"
fetchmail_cmd="fetchmail -f $work/fetchmailrc -N -s --idfile $work/fetchids --bsmtp $work/out.bsmtp"

# fetchmail exits 1 when there was no mail to fetch; anything else is a failure worth seeing.
if [ -z "${LATENCY_MS:-}" ]; then
  fetchmail_rc=0
  $fetchmail_cmd >"$work/fetchmail.out" 2>&1 || fetchmail_rc=$?
  if [ "$fetchmail_rc" -gt 1 ]; then
    echo "fetchmail failed ($fetchmail_rc):"; cat "$work/fetchmail.out"; exit 1
  fi
  echo "fetchmail delivered $(grep -c '^MAIL FROM' "$work/out.bsmtp" || true) messages per run"
fi

export BREVANT_POP3_PORT=$port BREVANT_POP3_USER=$USER_NAME BREVANT_POP3_PASS=$PASSWORD
mkdir -p "$work/getnew"
if [ -n "${LATENCY_MS:-}" ]; then
  # Through the proxy a run takes seconds to minutes: Get New against fetchmail, once each.
  hyperfine --runs "${RUNS:-1}" --export-markdown "$work/side.md" \
    --prepare "rm -rf $work/getnew/run-*" --prepare "rm -f $work/out.bsmtp" \
    -n "Brevant Get New" "BREVANT_BENCH_KEEP=$work/getnew $BUILD/bin/bench_GetNew --benchmark_filter=AllNew/iterations:1" \
    -n "fetchmail" "$fetchmail_cmd" >/dev/null
  cat "$work/side.md"
  exit 0
fi
echo "== $N messages of about 4 KB, UIDL + RETR each, one session, Dovecot on 127.0.0.1:$port"
echo "== Brevant TPop3Cli in the benchmark harness (time and CPU per fetch of all messages)"
"$BUILD/bin/bench_Pop3Fetch" --benchmark_filter='iterations:5|SlowServer'
echo "== Brevant Get New: every message new; then ten new with a history of the rest (+ filler to 100,000)"
"$BUILD/bin/bench_GetNew" --benchmark_filter='iterations:5|TenNew'
echo "== Side by side, one process per fetch (hyperfine, process start included)"
# Get New's stored messages are removed between runs, outside the timing.
hyperfine --warmup 1 --runs "${RUNS:-10}" --export-markdown "$work/side.md" \
  --prepare ":" --prepare "rm -rf $work/getnew/run-*" --prepare ":" --prepare "rm -f $work/out.bsmtp" \
  -n "Brevant TPop3Cli" "$BUILD/bin/bench_Pop3Fetch --benchmark_filter=UidlRetrAll/0/iterations:1" \
  -n "Brevant Get New" "BREVANT_BENCH_KEEP=$work/getnew $BUILD/bin/bench_GetNew --benchmark_filter=AllNew/iterations:1" \
  -n "python3 poplib" "/usr/bin/python3 $work/poplib_fetch.py" \
  -n "fetchmail" "$fetchmail_cmd" >/dev/null
cat "$work/side.md"
