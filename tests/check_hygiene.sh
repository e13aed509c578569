#!/usr/bin/env bash
# Checks the static core library for what library code must not have: global
# constructors (.init_array/.ctors sections), writable static data (symbols in
# .data or .bss) and references to the heap allocator or thread creation.
set -euo pipefail
core=$1
fail=0
if objdump -h "$core" | grep -E '\.(init_array|ctors)' >/dev/null; then
  echo "global constructors found:"; objdump -h "$core" | grep -B30 -E '\.(init_array|ctors)' | grep 'file format'
  fail=1
fi
data=$(nm -C "$core" | awk '$2 ~ /^[bBdD]$/ {print}')
if [ -n "$data" ]; then
  echo "writable static data found:"; echo "$data"
  fail=1
fi
heap=$(nm -C -u "$core" | grep -E '\b(malloc|calloc|realloc|free|operator new|operator delete|pthread_create)\b' || true)
if [ -n "$heap" ]; then
  echo "heap or thread functions referenced:"; echo "$heap"
  fail=1
fi
[ $fail -eq 0 ] && echo "core library: no global constructors, no writable static data, no heap or threads"
exit $fail
