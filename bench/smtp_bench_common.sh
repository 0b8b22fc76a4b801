# Sourced by the SMTP comparison scripts: the tests' aiosmtpd server and the message that
# msmtp and smtplib send. Expects $work (a temporary folder) and the array pids.

# Starts tests/support/smtp_server.py with the given options; sets $port.
start_smtp_server() {
  mkdir "$work/spool"
  /usr/bin/python3 tests/support/smtp_server.py "$work/spool" "$@" >"$work/port" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 100); do grep -q PORT "$work/port" 2>/dev/null && break; sleep 0.1; done
  port=$(awk '/PORT/ {print $2}' "$work/port")
  [ -n "$port" ] || { echo "the SMTP server did not start"; exit 1; }
}

# The same message for msmtp and smtplib: 57 body lines of 70 characters.
write_bench_message() {
  /usr/bin/python3 - "$work/msg.eml" <<'PY'
import sys
body = "\r\n".join(("Line %d of the newsletter: " % i).ljust(70, "x") for i in range(57))
hdr = "From: Sender <sender@example.org>\r\nTo: reader@example.org\r\nSubject: Benchmark\r\n\r\n"
open(sys.argv[1], "w", newline="").write(hdr + body + "\r\n")
PY
}

now() { date +%s.%N; }
elapsed() { echo "$(now) - $1" | bc; }
