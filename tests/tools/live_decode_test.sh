#!/usr/bin/env bash
# End to end under Wine: qm487-sim sends on COM14, qm487-decode --port 13
# receives through the program's serial driver and decoder.
#   live_decode_test.sh WINE_RUN STATE DECODE_EXE SIM_EXE
set -uo pipefail
run=$1 state=$2 decode=$3 sim=$4
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

"$run" --state "$state" "$decode" --port 13 --seconds 6 >"$out" 2>"$err" &
dec=$!
# Bytes sent before the port is open would be purged by it: wait until it listens.
for _ in $(seq 100); do grep -q listening "$err" && break; sleep 0.1; done
grep -q listening "$err" || { echo "decoder did not start"; cat "$err"; kill $dec; exit 1; }

"$run" --state "$state" "$sim" --port COM14 --fast --count 18 --channels 0-8 \
    --form long --ramp 5=-3.5:0:0.25 --calibration-error 2 --bad-parity 6 || { kill $dec; exit 1; }

# Every 6th line is spoiled, among them channel 5's first (-3.50).
# The decoder runs to its time limit; its summary is the last line.
wait $dec
tr -d '\r' <"$out" >"$out.txt" && mv "$out.txt" "$out"  # Windows console line ends
cat "$out"
grep -q '^18 lines: 15 accepted, 3 rejected$' "$out" || { echo "FAIL: unexpected summary"; exit 1; }
grep -q 'accepted  channel 5  value -3.25  value-error 0  calibration-error 0' "$out" || { echo "FAIL: channel 5"; exit 1; }
grep -q 'accepted  channel 2  .* calibration-error 1  serial 4660' "$out" || { echo "FAIL: channel 2"; exit 1; }
echo "live decode: ok"
