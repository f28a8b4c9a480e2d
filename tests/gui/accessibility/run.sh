#!/bin/sh
# Reads the window's accessibility tree as a screen reader does: Xvfb, a
# session bus with the AT-SPI bus on it, Debian's pyatspi under
# /usr/bin/python3 (a python3 found first on the PATH may lack it).
# Exit 77 means skipped, with the reason printed.
here=$(dirname "$0")
for tool in /usr/bin/python3 /usr/bin/Xvfb /usr/bin/dbus-run-session /usr/libexec/at-spi-bus-launcher; do
  if [ ! -x "$tool" ]; then
    echo "SKIP: $tool is not installed (scripts/install-deps.sh --test installs it)"
    exit 77
  fi
done
exec /usr/bin/dbus-run-session -- /usr/bin/python3 "$here/accessibility_tree.py" "$@"
