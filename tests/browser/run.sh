#!/bin/sh
# Runs the browser round trip with Debian's Python (a python3 found first on
# the PATH may lack Debian's selenium). Exit 77 means skipped.
here=$(dirname "$0")
if [ ! -x /usr/bin/python3 ]; then
  echo "SKIP: /usr/bin/python3 is not installed"
  exit 77
fi
exec /usr/bin/python3 "$here/upload_round_trip.py" "$@"
