#!/usr/bin/env bash
# Checks that the shared module exports exactly the expected functions and
# nothing else: every defined dynamic symbol must be one of them.
set -euo pipefail
module=$1
shift
expected="$*"
actual=$(nm -D --defined-only "$module" | awk '{print $3}' | sed 's/@.*//' | grep -v '^$' | sort -u | tr '\n' ' ' | sed 's/ $//')
want=$(echo $expected | tr ' ' '\n' | sort -u | tr '\n' ' ' | sed 's/ $//')
if [ "$actual" != "$want" ]; then
  echo "module exports: [$actual]"
  echo "expected:       [$want]"
  exit 1
fi
echo "module exports exactly: $actual"
