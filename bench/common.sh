# Shared by the benchmark scripts: tools, data, vhzip, timing. Sourced.
# Benchmark-only tools are installed here, not by scripts/bootstrap.
ROOT=$(cd "$(dirname "$0")/.." && pwd)
WORK=$ROOT/bench/work
VHZIP=$ROOT/build/native/bin/vhzip
WINE_PE=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
mkdir -p "$WORK"

need_packages() {
  missing=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing="$missing $p"
  done
  [ -z "$missing" ] && return 0
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
}

# npm may come with a Node.js that is not Debian's; only without it take Debian's.
need_npm() {
  command -v npm >/dev/null || need_packages npm
}

build_native() {
  "$ROOT/scripts/bootstrap" >/dev/null
  (cd "$ROOT" && cmake --preset native >/dev/null && cmake --build --preset native -j2 >/dev/null)
}

# npm_file PACKAGE VERSION PATH-IN-PACKAGE: fetches with npm pack once, prints the file's path.
npm_file() {
  dir=$WORK/npm/$(echo "$1" | tr '/@' '__')-$2
  if [ ! -f "$dir/package/$3" ]; then
    mkdir -p "$dir"
    (cd "$dir" && npm pack --silent "$1@$2" >/dev/null && tar xzf ./*.tgz)
  fi
  echo "$dir/package/$3"
}

# timed OUTVAR COMMAND...: runs the command, stores the wall time in seconds.
timed() {
  var=$1; shift
  t0=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; return 1; }
  t1=$(date +%s.%N)
  eval "$var=\$(echo \"\$t1 - \$t0\" | bc -l | xargs printf '%.2f')"
}

size_of() { stat -c %s "$1"; }
