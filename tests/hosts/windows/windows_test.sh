#!/usr/bin/env bash
# Tests of the Windows x86-64 module: cross-compiled with MinGW-w64, its export
# and import tables read with objdump, its host program run under Wine with the
# output compared byte for byte with the Linux twin on the Linux module.
#
# Usage: windows_test.sh STEP SOURCE_DIR WORK_DIR [ARGS...]
#   check                           the module in WORK_DIR (made by
#                                   scripts/build-windows WORK_DIR) exists and
#                                   is newer than every source it is built from
#   exports NAME...                 export directory: module name, exactly
#                                   these exports (in ordinal order, from the
#                                   export list) at ordinals 1, 2, ...; imports
#                                   only Windows system DLLs; no aligned AVX
#                                   moves; the import library
#   host TWIN LINUX_MODULE MODE     run MODE (load, run, illegal) of the host
#                                   under Wine and of its Linux twin
#   package                         install into a prefix, build the consumer
#                                   against it, run it under Wine
# Exits with 77 (skipped) when MinGW-w64 or Wine is not installed.
set -euo pipefail
step=$1 src=$(realpath "$2") work=$(realpath -m "$3")
shift 3
mingw=x86_64-w64-mingw32
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
dll_name=libqivlapackdll2.winx64.dll
dll=$work/$dll_name

if ! command -v $mingw-g++ >/dev/null; then
  echo "skipped: MinGW-w64 is not installed (scripts/test installs it)"
  exit 77
fi


# Runs a Windows program under Wine in a private prefix beside the build; the
# prefix is created on first use. The Wine server that the step started for
# that prefix is stopped when the step ends.
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine_started=0
run_wine() {
  wine_started=1
  "$wine" "$@"
}
stop_wine() {
  if [ $wine_started -eq 1 ]; then "$wineserver" -k 2>/dev/null || true; fi
}
trap stop_wine EXIT

case $step in
check)
  # The cross-build is not a test: it runs once, before CTest. A module older
  # than a source would test old code, so it fails like a missing one.
  if [ ! -f "$dll" ] || [ ! -f "$work/host_win.exe" ] || [ ! -f "$work/built.stamp" ]; then
    echo "no Windows module in $work: build it first with scripts/build-windows $work"
    echo "(scripts/test does)"
    exit 1
  fi
  # scripts/build-windows touches built.stamp after each successful build.
  newer=$(find "$src/src" "$src/include" "$src/examples/windows" "$src/cmake" "$src/CMakeLists.txt" \
            -type f -newer "$work/built.stamp" 2>/dev/null | head -n 5)
  [ -f "$work/built.stamp" ] || newer="(no $work/built.stamp)"
  if [ -n "$newer" ]; then
    echo "the Windows module in $work is older than its sources; rebuild it with"
    echo "scripts/build-windows $work. Newer sources:"; echo "$newer" | sed 's/^/  /'
    exit 1
  fi
  echo "Windows module: $dll"
  ;;

exports)
  table=$($mingw-objdump -p "$dll")
  fail=0
  name=$(echo "$table" | awk '/^Name[ \t]/ {print $3}')
  echo "export directory name: $name"
  [ "$name" = "$dll_name" ] || { echo "expected $dll_name"; fail=1; }
  base=$(echo "$table" | awk '/^Ordinal Base/ {print $3}')
  # Named exports as "ordinal name", and the number of address-table entries.
  actual=$(echo "$table" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
           sed -n 's/^[[:space:]]*\[ *\([0-9]*\)\] \(.*\)$/\1 \2/p' |
           while read -r idx sym; do echo "$((idx + base)) $sym"; done | sort -n)
  entries=$(echo "$table" | sed -n '/^Export Address Table -- Ordinal Base/,/^$/p' | grep -c '+base\[' || true)
  # The names come in the order of the export list: ordinals 1, 2, ...
  expected=$(ordinal=0; for sym in "$@"; do ordinal=$((ordinal + 1)); echo "$ordinal $sym"; done)
  echo "exports (ordinal name):"; echo "$actual" | sed 's/^/  /'
  [ "$actual" = "$expected" ] || { echo "expected:"; echo "$expected" | sed 's/^/  /'; fail=1; }
  [ "$entries" -eq $# ] || { echo "$entries address-table entries for $# names"; fail=1; }
  # Only Windows system DLLs may be imported: no MinGW runtime.
  imports=$(echo "$table" | awk '/DLL Name:/ {print $3}')
  echo "imports: $(echo $imports)"
  for imp in $imports; do
    case ${imp,,} in
      kernel32.dll | msvcrt.dll | ucrtbase.dll | ntdll.dll | api-ms-win-*.dll) ;;
      *) echo "imports a non-system DLL: $imp"; fail=1 ;;
    esac
  done
  # No aligned 256- or 512-bit moves to or from memory: the stack guarantees
  # only 16 bytes.
  aligned=$($mingw-objdump -d "$dll" | grep -E 'vmov(ap[sd]|dqa(32|64)?)[[:space:]].*%[yz]mm' |
            grep -c '(' || true)
  echo "aligned AVX moves: $aligned"
  [ "$aligned" -eq 0 ] || fail=1
  # The import library provides every export.
  implib=$($mingw-nm "$work/$dll_name.a")
  for sym in "$@"; do
    grep -q " T $sym\$" <<<"$implib" || { echo "import library lacks $sym"; fail=1; }
  done
  exit $fail
  ;;

host)
  twin=$1 linux_module=$2 mode=$3
  if [ ! -x "$wine" ]; then
    echo "skipped: Wine is not installed (scripts/test installs it)"
    exit 77
  fi
  out=$work/host-$mode
  rc_win=0 rc_twin=0
  # Windows: the host and the module side by side, the module loaded by name.
  (cd "$work" && run_wine host_win.exe "$mode") >"$out.windows" || rc_win=$?
  # Linux: the same source on the Linux module, also loaded by name.
  LD_LIBRARY_PATH=$(dirname "$linux_module") "$twin" "$mode" >"$out.linux" || rc_twin=$?
  echo "exit status: windows $rc_win, linux $rc_twin; $(wc -l <"$out.windows") lines of output"
  tail -n 3 "$out.windows" | sed 's/^/windows: /'
  fail=0
  [ $rc_win -eq 0 ] && [ $rc_twin -eq 0 ] || fail=1
  if ! cmp "$out.windows" "$out.linux"; then
    diff "$out.windows" "$out.linux" >"$out.diff" || true
    head -n 20 "$out.diff"
    fail=1
  fi
  if [ "$mode" = illegal ]; then
    printf '%s\n' "qivcppdlltemplate_exportedtestfn returned" \
      "calling qivlapackdll2_zgetrf with M = -1" \
      " ** On entry to ZGETRF parameter number  1 had an illegal value" >"$out.expected"
    cmp "$out.windows" "$out.expected" || fail=1
  fi
  exit $fail
  ;;

package)
  if [ ! -x "$wine" ]; then
    echo "skipped: Wine is not installed (scripts/test installs it)"
    exit 77
  fi
  pkg=$work/package
  rm -rf "$pkg"
  cmake --install "$work" --prefix "$pkg/prefix" >/dev/null
  echo "installed tree:"; (cd "$pkg/prefix" && find . -type f | sort | sed 's/^/  /')
  for f in bin/$dll_name lib/$dll_name.a include/qivlapackdll2.h lib/pkgconfig/qivlapackdll2.pc \
           lib/cmake/qivlapackdll2/qivlapackdll2Config.cmake; do
    [ -f "$pkg/prefix/$f" ] || { echo "not installed: $f"; exit 1; }
  done
  consumer=$src/tests/hosts/packaging/consumer
  # Through the CMake package (named directly: the toolchain confines package
  # searches to the MinGW sysroot) and through pkg-config, both linking the
  # import library.
  cmake -S "$consumer" -B "$pkg/cmake-consumer" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-mingw64.cmake" \
    -Dqivlapackdll2_DIR="$pkg/prefix/lib/cmake/qivlapackdll2" >/dev/null
  cmake --build "$pkg/cmake-consumer" >/dev/null
  mkdir -p "$pkg/run"
  cp "$pkg/cmake-consumer/consumer.exe" "$pkg/run/consumer-cmake.exe"
  flags=$(PKG_CONFIG_LIBDIR=$pkg/prefix/lib/pkgconfig pkg-config --cflags --libs qivlapackdll2)
  # shellcheck disable=SC2086
  $mingw-gcc -o "$pkg/run/consumer-pc.exe" "$consumer/consumer.c" $flags
  cp "$pkg/prefix/bin/$dll_name" "$pkg/run/"
  fail=0
  for exe in consumer-cmake consumer-pc; do
    grep -q "DLL Name: $dll_name" <<<"$($mingw-objdump -p "$pkg/run/$exe.exe")" ||
      { echo "$exe.exe does not import $dll_name"; fail=1; }
    out=$(cd "$pkg/run" && run_wine "$exe.exe" | tr -d '\r') || fail=1
    echo "$exe: $out"
    [ "$out" = "consumer: ok" ] || fail=1
  done
  exit $fail
  ;;

*)
  echo "unknown step $step" >&2
  exit 2
  ;;
esac
