#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a test program on an X server of its own (Xvfb), with the openbox window manager when the
# first argument is "openbox" and without any when it is "none".
set -euo pipefail
wm=$1
shift
work=$(mktemp -d)
cleanup() {
  [ -n "${wm_pid:-}" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "${x_pid:-}" ] && kill "$x_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
x_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=:$(cat "$work/display")
if [ "$wm" = openbox ]; then
  openbox --sm-disable --startup "touch $work/ready" >/dev/null 2>&1 &
  wm_pid=$!
  for _ in $(seq 200); do [ -e "$work/ready" ] && break; sleep 0.05; done
fi
QT_QPA_PLATFORM=xcb "$@"
