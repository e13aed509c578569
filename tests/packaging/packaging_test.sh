#!/usr/bin/env bash
# Installs the built module into a temporary prefix, then builds and runs a
# consumer against it twice: through find_package (imported target
# qivlapackdll2::qivlapackdll2) and through pkg-config.
# Usage: packaging_test.sh SOURCE_DIR BUILD_DIR WORK_DIR C_COMPILER
set -euo pipefail
src=$1 build=$2 work=$3 cc=$4
rm -rf "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

# The installed tree: the module, the headers, both package descriptions and
# the command-line program.
fail=0
for pattern in 'lib*/libqivlapackdll2.so' 'include/qivlapackdll2.h' 'include/qivlapackdll2.hpp' 'bin/qivla' \
               'lib*/cmake/qivlapackdll2/qivlapackdll2Config.cmake' \
               'lib*/cmake/qivlapackdll2/qivlapackdll2ConfigVersion.cmake' \
               'lib*/cmake/qivlapackdll2/qivlapackdll2Targets.cmake' \
               'lib*/pkgconfig/qivlapackdll2.pc'; do
  # shellcheck disable=SC2086
  if ! ls "$prefix"/$pattern >/dev/null 2>&1; then
    echo "not installed: $pattern"
    fail=1
  fi
done
# Nothing else: no static core, no test programs.
extra=$(cd "$prefix" && find . -type f | grep -vE 'libqivlapackdll2\.so$|qivlapackdll2\.(h|hpp)$|/cmake/qivlapackdll2/|qivlapackdll2\.pc$|^\./bin/qivla$' || true)
if [ -n "$extra" ]; then
  echo "installed beyond the package: $extra"
  fail=1
fi
[ $fail -eq 0 ] || exit 1
echo "installed tree:"; (cd "$prefix" && find . -type f | sort | sed 's/^/  /')

# 1. CMake package.
cmake -S "$src/tests/packaging/consumer" -B "$work/cmake-consumer" -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/cmake-consumer" >/dev/null
out=$("$work/cmake-consumer/consumer")
echo "find_package consumer: $out"
[ "$out" = "consumer: ok" ]

# 2. pkg-config.
pcdir=$(dirname "$(ls "$prefix"/lib*/pkgconfig/qivlapackdll2.pc)")
export PKG_CONFIG_PATH=$pcdir
[ "$(pkg-config --modversion qivlapackdll2)" = "$(sed -n 's/^Version: //p' "$pcdir/qivlapackdll2.pc")" ]
# shellcheck disable=SC2046
"$cc" -o "$work/pc-consumer" "$src/tests/packaging/consumer/consumer.c" \
  $(pkg-config --cflags --libs qivlapackdll2)
out=$(LD_LIBRARY_PATH=$(pkg-config --variable=libdir qivlapackdll2) "$work/pc-consumer")
echo "pkg-config consumer: $out"
[ "$out" = "consumer: ok" ]

# 3. The command-line program, installed beside the module, finds it through
# its run path, with no search path set.
out=$(env -u LD_LIBRARY_PATH -u QIVLA_MODULE "$prefix/bin/qivla" info)
echo "installed qivla: $(echo "$out" | head -n 1)"
echo "$out" | grep -q "^module:  $(realpath "$prefix")/lib[^ ]*/libqivlapackdll2.so "
