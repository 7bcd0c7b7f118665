#!/bin/sh
# expect_failure.sh COCKPIT SCENARIO: the scenario must fail with the exit status of its
# "# exit: N" line (default 1) and print the text of its "# fails with: TEXT" line.
# DRAV_COCKPIT_PRELOAD is the cockpit's LD_PRELOAD (the umockdev preload).
cockpit="$1"
scenario="$2"
want=$(sed -n 's/^# fails with: //p' "$scenario")
status=$(sed -n 's/^# exit: //p' "$scenario")
[ -n "$status" ] || status=1
[ -n "$want" ] || { echo "$scenario: no '# fails with:' line"; exit 1; }
out=$(LD_PRELOAD="$DRAV_COCKPIT_PRELOAD" "$cockpit" "$scenario" 2>&1)
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
echo "expect_failure: failed as it should"
