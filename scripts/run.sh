#!/usr/bin/env bash
# Shows the board link working: starts the board simulator on a
# pseudo-terminal, asks it for its identity as the handheld does at start-up,
# and prints what the link makes of the next few seconds of traffic.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j2 --target velkaro-board vlk

work=$(mktemp -d)
board=""
cleanup() {
  exec 3>&- 2>/dev/null || true
  if [ -n "$board" ]; then
    kill -TERM "$board" 2>/dev/null || true
    wait "$board" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

build/bin/velkaro-board --rate 2 --lock-after 3 >"$work/board.out" &
board=$!

# The first line the board prints is the device path of its line.
for _ in $(seq 100); do
  [ -s "$work/board.out" ] && break
  kill -0 "$board" 2>/dev/null || { echo "run: the board simulator did not start" >&2; exit 1; }
  sleep 0.1
done
pty=$(head -n 1 "$work/board.out")
[ -c "$pty" ] || { echo "run: the board printed no device path" >&2; exit 1; }
echo "board simulator on $pty"

# Open the line both ways, then send the start-up frame; the firmware
# answer is followed by the serial-number request, as the link's engine
# does it.
exec 3<>"$pty"
# The line is raw; a read must wait for bytes rather than see an end of file
# whenever the board is between reports.
stty min 1 time 0 <&3
printf '\x11\x12\x01\x00\x11\x13' >&3
sleep 0.5
printf '\x11\x12\x02\x00\x11\x13' >&3

echo "decoding 8 seconds of board traffic:"
timeout 8 cat <&3 | build/bin/vlk decode || true
