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

# The installed tree: the module, the headers, both package descriptions, the
# command-line program and the Python host beside the module.
fail=0
for pattern in 'lib*/libqivlapackdll2.so' 'include/qivlapackdll2.h' 'include/qivlapackdll2.hpp' 'bin/qivla' \
               'lib*/cmake/qivlapackdll2/qivlapackdll2Config.cmake' \
               'lib*/cmake/qivlapackdll2/qivlapackdll2ConfigVersion.cmake' \
               'lib*/cmake/qivlapackdll2/qivlapackdll2Targets.cmake' \
               'lib*/pkgconfig/qivlapackdll2.pc' 'lib*/qivlapackdll2.py'; do
  # shellcheck disable=SC2086
  if ! ls "$prefix"/$pattern >/dev/null 2>&1; then
    echo "not installed: $pattern"
    fail=1
  fi
done
# Nothing else: no static core, no test programs.
extra=$(cd "$prefix" && find . -type f | grep -vE 'libqivlapackdll2\.so$|qivlapackdll2\.(h|hpp|py)$|/cmake/qivlapackdll2/|qivlapackdll2\.pc$|^\./bin/qivla$' || true)
if [ -n "$extra" ]; then
  echo "installed beyond the package: $extra"
  fail=1
fi
[ $fail -eq 0 ] || exit 1
echo "installed tree:"; (cd "$prefix" && find . -type f | sort | sed 's/^/  /')

# 1. CMake package.
cmake -S "$src/tests/hosts/packaging/consumer" -B "$work/cmake-consumer" -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_SKIP_BUILD_RPATH=ON >/dev/null
cmake --build "$work/cmake-consumer" >/dev/null
# Both consumers start with no library search path: the package files give
# them the module's directory as run path (CMake's own build-tree run path is
# switched off above, so the package's is the one that counts, as it is once
# the consumer is installed).
out=$(env -u LD_LIBRARY_PATH "$work/cmake-consumer/consumer")
echo "find_package consumer: $out"
[ "$out" = "consumer: ok" ]

# 2. pkg-config.
pcdir=$(dirname "$(ls "$prefix"/lib*/pkgconfig/qivlapackdll2.pc)")
export PKG_CONFIG_PATH=$pcdir
[ "$(pkg-config --modversion qivlapackdll2)" = "$(sed -n 's/^Version: //p' "$pcdir/qivlapackdll2.pc")" ]
# shellcheck disable=SC2046
"$cc" -o "$work/pc-consumer" "$src/tests/hosts/packaging/consumer/consumer.c" \
  $(pkg-config --cflags --libs qivlapackdll2)
out=$(env -u LD_LIBRARY_PATH "$work/pc-consumer")
echo "pkg-config consumer: $out"
[ "$out" = "consumer: ok" ]

# 3. The command-line program, installed beside the module, finds it through
# its run path, with no search path set.
out=$(env -u LD_LIBRARY_PATH -u QIVLA_MODULE "$prefix/bin/qivla" info)
echo "installed qivla: $(echo "$out" | head -n 1)"
echo "$out" | grep -q "^module:  $(realpath "$prefix")/lib[^ ]*/libqivlapackdll2.so "

# 4. The Python host, installed beside the module, imports from there and
# loads the module beside itself, again with no library search path.
out=$(cd "$work" && env -u LD_LIBRARY_PATH PYTHONPATH="$(dirname "$(ls "$prefix"/lib*/qivlapackdll2.py)")" \
  PYTHONDONTWRITEBYTECODE=1 python3 -c 'import qivlapackdll2; print(qivlapackdll2.gesv([[0, 1], [1, 0]], [3, 5]))')
echo "installed Python host: $out"
[ "$out" = "SolveResult(x=[(5+0j), (3+0j)], info=0)" ]
