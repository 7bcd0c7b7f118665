#!/bin/sh
# The sim server DRAV_SIM_SERVER as the cockpit starts it, but with a fault, DRAV_SIM_FAULT =
# "WORD dies|hangs": at the cockpit's first request starting with WORD the server ends (dies) or
# nothing answers for a while (hangs; it ends then too, so that nothing outlives the test long).
set -- $DRAV_SIM_FAULT
while IFS= read -r line; do
  case "$line" in
    "$1"*)
      [ "$2" = hangs ] && sleep 4
      exit 0 ;;
  esac
  printf '%s\n' "$line"
done | "$DRAV_SIM_SERVER"
