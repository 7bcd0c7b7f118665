#!/bin/sh
# expect_failure.sh COCKPIT SCENARIO [OPTION...]: the scenario, played with the cockpit options
# given, must fail with the exit status of its "# exit: N" line (default 1) and print the text of
# its "# fails with: TEXT" line. A failed expectation (status 1) must also write the picture of
# that moment and print its path next.
# DRAV_COCKPIT_PRELOAD is the cockpit's LD_PRELOAD (the umockdev preload).
cockpit="$1"
scenario="$2"
shift 2
want=$(sed -n 's/^# fails with: //p' "$scenario")
status=$(sed -n 's/^# exit: //p' "$scenario")
[ -n "$status" ] || status=1
[ -n "$want" ] || { echo "$scenario: no '# fails with:' line"; exit 1; }
pictures=$(mktemp -d)
trap 'rm -rf "$pictures"' EXIT
out=$(LD_PRELOAD="$DRAV_COCKPIT_PRELOAD" "$cockpit" --pictures "$pictures" "$@" "$scenario" 2>&1)
rc=$?
echo "$out"
if [ "$rc" != "$status" ]; then
  echo "expect_failure: exit status $rc, expected $status"
  exit 1
fi
if ! printf '%s\n' "$out" | grep -qF -- "$want"; then
  echo "expect_failure: the output does not contain: $want"
  exit 1
fi
if [ "$status" = 1 ]; then
  picture=$(printf '%s\n' "$out" | grep -F -A1 -- "$want" | sed -n 's/^picture: //p' | head -n 1)
  case "$picture" in
    "$pictures"/panel-failed-line*.png) ;;
    *) echo "expect_failure: no picture path right after the failure"; exit 1 ;;
  esac
  [ -s "$picture" ] || { echo "expect_failure: $picture was not written"; exit 1; }
fi
echo "expect_failure: failed as it should"
