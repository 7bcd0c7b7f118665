#!/bin/sh
# Runs a program under the umockdev preload, the ASan runtime first when the program
# was built with -fsanitize=address:  testbed/run-under-umockdev.sh PROGRAM [ARGS...]
set -e
prog="$1"
[ -n "$prog" ] || { echo "usage: $0 PROGRAM [ARGS...]" >&2; exit 2; }
preload=libumockdev-preload.so.0
asan=$(ldd "$prog" 2>/dev/null | awk '/libasan/ {print $3; exit}')
if [ -n "$asan" ]; then preload="$asan:$preload"; fi
LD_PRELOAD="$preload${LD_PRELOAD:+:$LD_PRELOAD}" exec "$@"
