#!/usr/bin/env bash
# Runs Velkaro against the board simulator, no hardware needed.
#
# The simulator opens a pseudo-terminal and walks over the bundled demo site
# (resources/demo/campus.bmp), pausing 10 seconds at each landmark; the
# application is started on that line with --port.
#
# With a display you drive the application yourself. Without one the same
# flow runs scripted on Qt's offscreen platform, printing each step, and
# leaves the projection file and a screenshot in out/demo/.
#
# With --gpsd the whole chain a real receiver uses runs instead: the
# simulator speaks NMEA on the pseudo-terminal, a private gpsd instance on a
# port of its own reads it, and the application reads gpsd.
#
#   bash scripts/run.sh            the application (or the scripted flow)
#   bash scripts/run.sh --script   the scripted flow even with a display
#   bash scripts/run.sh --gpsd     the same through gpsd (add --script to force the script)
#   bash scripts/run.sh --link     only the board link: decode its traffic
set -euo pipefail
cd "$(dirname "$0")/.."

mode=app
gpsd=0
for arg in "$@"; do
  case "$arg" in
    --script) mode=script ;;
    --link) mode=link ;;
    --gpsd) gpsd=1 ;;
    *) echo "usage: bash scripts/run.sh [--script|--link|--gpsd [--script]]" >&2; exit 2 ;;
  esac
done
if [ "$gpsd" = 1 ] && [ "$mode" = link ]; then
  echo "usage: bash scripts/run.sh [--script|--link|--gpsd [--script]]" >&2
  exit 2
fi
if [ "$mode" = app ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display found; running the same flow scripted on Qt's offscreen platform"
  mode=script
fi

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DVELKARO_GUI=ON
cmake --build build -j2 --target velkaro velkaro-board vlk velkaro-demo

work=$(mktemp -d)
board=""
gpsd_pid=""
tail_pid=""
cleanup() {
  exec 3>&- 2>/dev/null || true
  for pid in $tail_pid $gpsd_pid $board; do
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

# Starts the simulator with the given options and sets $pty to its line.
start_board() {
  build/bin/velkaro-board "$@" >"$work/board.out" &
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
}

# Starts a private gpsd on the first free port from 29470 reading $pty, and
# sets $source_args to the application's option for it. gpsd stays in the
# foreground (-N) as this script's child; -n reads the line at once.
start_gpsd() {
  # Debian installs gpsd in /usr/sbin, outside an ordinary user's PATH.
  gpsd_program=$(command -v gpsd || true)
  [ -n "$gpsd_program" ] || [ ! -x /usr/sbin/gpsd ] || gpsd_program=/usr/sbin/gpsd
  [ -n "$gpsd_program" ] || { echo "run: gpsd is not installed" >&2; exit 1; }
  port=29470
  while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do
    port=$((port + 1))
    [ "$port" -lt 29570 ] || { echo "run: no free port for gpsd" >&2; exit 1; }
  done
  "$gpsd_program" -N -n -S "$port" "$pty" 2>"$work/gpsd.log" &
  gpsd_pid=$!
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    kill -0 "$gpsd_pid" 2>/dev/null || { cat "$work/gpsd.log" >&2; echo "run: gpsd did not start" >&2; exit 1; }
    sleep 0.1
  done
  echo "gpsd on localhost:$port, reading $pty"
  source_args=(--gpsd "localhost:$port")
}

# The position source: the board simulator on $pty, or gpsd reading it.
# Arguments: the simulator's options.
start_source() {
  if [ "$gpsd" = 1 ]; then
    start_board --nmea "$@"
    start_gpsd
  else
    start_board "$@"
    source_args=(--port "$pty")
  fi
}

case "$mode" in
  link)
    start_board --rate 2 --lock-after 3
    # Open the line both ways, then send the start-up frame; the firmware
    # answer is followed by the serial-number request, as the link's engine
    # does it.
    exec 3<>"$pty"
    # The line is raw; a read must wait for bytes rather than see an end of
    # file whenever the board is between reports.
    stty min 1 time 0 <&3
    printf '\x11\x12\x01\x00\x11\x13' >&3
    sleep 0.5
    printf '\x11\x12\x02\x00\x11\x13' >&3
    echo "decoding 8 seconds of board traffic:"
    timeout 8 cat <&3 | build/bin/vlk decode || true
    ;;

  app)
    start_source --announce
    # The simulator prints each landmark as its walk arrives there.
    tail -n +2 -f "$work/board.out" &
    tail_pid=$!
    mkdir -p out/demo
    cp resources/demo/campus.bmp out/demo/campus.bmp
    cat <<TEXT
Velkaro starts in a few seconds (it pauses while it greets the board).
 1. Tap the status screen to reach the site view.
 2. Press the first button and open out/demo/campus.bmp.
 3. Wait until the top row turns green (about 5 seconds).
 4. The simulated walk pauses at each landmark, in this order:
$(awk -F, '$1 == "landmark" { printf "      %s (%s,%s), %s seconds\n", $2, $3, $4, $5 }' resources/demo/site.csv)
    While it stands at one, scroll there and tap that plan pixel; this
    terminal says when it arrives ("now at Fountain: click plan pixel
    (360, 270); it stays 10 s here").
 5. After the fifth point Velkaro says the geocode is valid: press Save
    (third button) and save, e.g. out/demo/campus.vlk.
 6. Check it: build/bin/vlk info out/demo/campus.vlk
TEXT
    # Solving writes debug.txt into the current folder.
    (cd out/demo && "$OLDPWD/build/bin/velkaro" "${source_args[@]}")
    ;;

  script)
    # Ten times the field's pace: each landmark pause lasts one second.
    start_source --rate 10 --lock-after 2
    mkdir -p out/demo
    (cd out/demo && QT_QPA_PLATFORM=offscreen "$OLDPWD/build/bin/velkaro-demo" \
        "${source_args[@]}" --out "$OLDPWD/out/demo")
    echo "projection file: out/demo/campus.vlk"
    echo "screenshot:      out/demo/velkaro-demo.png"
    build/bin/vlk info out/demo/campus.vlk
    ;;
esac
