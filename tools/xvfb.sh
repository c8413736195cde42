#!/usr/bin/env bash
# Makes sure an X server runs on :99 for the dialog tests.
if ! xdpyinfo -display :99 >/dev/null 2>&1 && ! [ -e /tmp/.X11-unix/X99 ]; then
  (Xvfb :99 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &)
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X99 ] && break; sleep 0.1; done
fi
