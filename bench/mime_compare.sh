#!/usr/bin/env bash
# Decodes the same generated 10 MB multipart message with TMimeDecode and with Python's email
# package, each writing every part to files, and times both side by side with hyperfine.
#   bench/mime_compare.sh [build dir]      (default: build; configure it with -DBREVANT_BENCH=ON)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target bench_MimeDecode >/dev/null
bench="$build/bin/bench_MimeDecode"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/ours" "$work/python"
"$bench" --write-message "$work/message.eml"

cat >"$work/decode.py" <<'PY'
import email, email.policy, os, sys
with open(sys.argv[1], 'rb') as f:
    msg = email.message_from_binary_file(f, policy=email.policy.default)
for n, part in enumerate(msg.walk()):
    if part.is_multipart():
        continue
    name = part.get_filename() or 'part%d' % n
    with open(os.path.join(sys.argv[2], name), 'wb') as out:
        out.write(part.get_payload(decode=True))
PY

# Both decoders must write the same attachment bytes before their times mean anything.
"$bench" --decode "$work/message.eml" "$work/ours"
/usr/bin/python3 "$work/decode.py" "$work/message.eml" "$work/python"
for a in attachment1.bin attachment2.bin attachment3.bin; do
  cmp "$work/ours/$a" "$work/python/$a"
done
echo "message: $(stat -c %s "$work/message.eml") bytes; attachments identical"

# Each run writes into a fresh folder, as when a message is viewed for the first time (ext4
# flushes a truncated file on close, which would time the disk rather than the decoders).
hyperfine --warmup 3 --runs 20 --export-json "$work/times.json" \
  --prepare "rm -rf $work/ours $work/python && mkdir $work/ours $work/python" \
  -n TMimeDecode "$bench --decode $work/message.eml $work/ours" \
  -n python-email "/usr/bin/python3 $work/decode.py $work/message.eml $work/python"
/usr/bin/python3 - "$work/times.json" <<'PY'
import json, sys
r = {x['command']: x['mean'] for x in json.load(open(sys.argv[1]))['results']}
print('TMimeDecode %.1f ms, python email %.1f ms: %.1f times as fast'
      % (r['TMimeDecode'] * 1e3, r['python-email'] * 1e3, r['python-email'] / r['TMimeDecode']))
PY
