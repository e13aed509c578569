#!/usr/bin/env bash
# The .NET binding (examples/dotnet) built with Mono's C# compiler and run on
# the Linux module: its output must equal the C host's byte for byte, every
# number being printed as the bit pattern of its binary64 value; an illegal
# raw call must end the process with the module's report, and the checked
# wrapper must refuse the same call and go on.
#
# Usage: dotnet_test.sh SOURCE_DIR WORK_DIR C_HOST MODULE
# Exits with 77 (skipped) when Mono is not installed (scripts/test installs it).
set -euo pipefail
src=$(realpath "$1") work=$(realpath -m "$2") host=$3 module=$4
if ! command -v mcs >/dev/null || ! command -v mono >/dev/null; then
  echo "skipped: Mono (mcs, mono) is not installed (scripts/test installs it)"
  exit 77
fi
mkdir -p "$work"
exe=$work/HostExample.exe
mcs -nologo -warnaserror+ -optimize+ -out:"$exe" "$src/examples/dotnet/Qivlapackdll2.cs" \
  "$src/examples/dotnet/HostExample.cs"
cp "$src/examples/dotnet/HostExample.exe.config" "$work/"
export LD_LIBRARY_PATH="$(dirname "$(realpath "$module")")${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"

fail=0
for mode in load run illegal; do
  set +e
  "$host" "$mode" libqivlapackdll2.so >"$work/c_$mode.out" 2>"$work/c_$mode.err"
  c_rc=$?
  mono "$exe" "$mode" >"$work/net_$mode.out" 2>"$work/net_$mode.err"
  net_rc=$?
  set -e
  lines=$(wc -l <"$work/net_$mode.out")
  if cmp -s "$work/c_$mode.out" "$work/net_$mode.out" && [ $c_rc -eq $net_rc ]; then
    echo "$mode: the same $lines lines and exit status $net_rc"
  else
    echo "$mode: outputs differ (exit status C $c_rc, .NET $net_rc)"
    diff "$work/c_$mode.out" "$work/net_$mode.out" | head -20 || true
    cat "$work/net_$mode.err"
    fail=1
  fi
done
grep -q ' check(s) failed$' "$work/net_run.out" || { echo "run: no summary line"; fail=1; }
tail -n 1 "$work/net_run.out"
[ "$(tail -n 1 "$work/net_run.out")" = "0 check(s) failed" ] || fail=1
[ "$(tail -n 1 "$work/net_illegal.out")" = " ** On entry to ZGETRF parameter number  1 had an illegal value" ] ||
  { echo "illegal: the module's report is not the last line"; fail=1; }

# The checked wrapper refuses M = -1 and the program goes on.
set +e
mono "$exe" checked >"$work/net_checked.out" 2>&1
rc=$?
set -e
cat "$work/net_checked.out"
[ $rc -eq 0 ] && grep -q '^refused M: ' "$work/net_checked.out" &&
  grep -q '^solved after the refusal: info 0, x = (5, 3)$' "$work/net_checked.out" &&
  ! grep -q 'On entry to' "$work/net_checked.out" || { echo "checked: not refused cleanly"; fail=1; }
exit $fail
