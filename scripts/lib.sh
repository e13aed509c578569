# Shared by the scripts: install Debian packages that are missing (as root).
need_packages() {
  local missing=()
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
      echo "missing packages: ${missing[*]} (run as root to install them)" >&2
      return 1
    fi
    echo "installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}
jobs_count() { nproc 2>/dev/null || echo 2; }

# Like need_packages, for the cross toolchain, Wine and the host tools: the
# installation is simulated first and refused if it would bring in any
# linear-algebra or numerical-array package. Recommends are left out.
need_packages_checked() {
  local missing=()
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root to install them)" >&2
    return 1
  fi
  apt-get update -qq
  local plan refused
  plan=$(apt-get install --simulate -y --no-install-recommends "${missing[@]}" | awk '/^Inst /{print $2}')
  refused=$(echo "$plan" | grep -iE 'blas|lapack|eigen|atlas|mkl|numpy|armadillo|fftw|gsl|arpack|suitesparse' || true)
  if [ -n "$refused" ]; then
    echo "refusing to install ${missing[*]}: it brings in $(echo $refused)" >&2
    return 1
  fi
  echo "installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
