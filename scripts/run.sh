#!/usr/bin/env bash
# Builds the monitor and starts it on a fresh SQLite database with the unit
# simulator attached, so tests arrive without an instrument.
#
# The demo's program folder is demo/ in the checkout (settings, log, database).
# With a display the monitor opens as a window and the simulator sends a test
# every 30 seconds until the monitor is closed. Without a display the monitor
# runs unattended and offscreen through a short session of three tests, then
# prints the samples it stored.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/build.sh build

bin=$PWD/build/bin
home=${QUORVELQC_DEMO_HOME:-$PWD/demo}
mkdir -p "$home"
database=$home/samples.mdb
device=$home/unit-tty
rm -f "$database" "$device"
cp "$bin/DBquorqc.tpl" "$database"
cp "$bin/DBquorqc.tpl" "$home/DBquorqc.tpl"
# The demo's settings point at the simulator's device and the demo database;
# an existing settings file (window layout, labels) is kept as it is.
ini=$home/quorvelqc.ini
if [ ! -f "$ini" ]; then
  printf '[COMM]\r\nPORT=1\r\nDEVICE=%s\r\n[Database]\r\nFile=%s\r\n' "$device" "$database" > "$ini"
fi

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QUORVELQC_HEADLESS:-}" ]; then
  "$bin/quorvelqc-sim" --link "$device" --tick 200 --scenario "tests:0:20" >/dev/null &
  pids+=($!)
  sleep 0.5
  "$bin/quorvelqc" --home "$home"
else
  echo "No display: running the monitor unattended and offscreen through three simulated tests."
  record=$home/simulator.txt
  rm -f "$record"
  "$bin/quorvelqc-sim" --link "$device" --tick 20 --record "$record" --scenario "tests:3:1,wait:3600" >/dev/null &
  pids+=($!)
  sleep 0.5
  QT_QPA_PLATFORM=offscreen "$bin/quorvelqc" --home "$home" --unattended 2>"$home/unattended.txt" &
  monitor=$!
  pids+=("$monitor")
  # Three test records on the wire, then a moment for the last one to be stored.
  for _ in $(seq 120); do
    sent=$(grep -c ' TX D ' "$record" 2>/dev/null) || true
    [ "${sent:-0}" -ge 3 ] && break
    sleep 0.5
  done
  sleep 2
  kill -TERM "$monitor"; wait "$monitor" || true
  "$bin/quorvelqc" --home "$home" --list-samples
fi
