#!/usr/bin/env bash
# Start-up cost of carrying the suite module, under Wine: the time the
# module's loading takes (microseconds, measured by the probe) and the whole
# runtime start-up, when the module is found in the program's directory,
# when it is unpacked from the resource, and when an earlier run's copy is
# checked and reused.
#   tests/suite/unpack_startup_bench.sh BUILD_DIR [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: unpack_startup_bench.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-7}
bin=$build/bin
module=$build/suite_module/srvkit.dll
packed=$build/suite/srvkit.lzma

winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# medians of load-us and init-us over RUNS starts in a fresh directory
measure() {  # name setup-function
  local dir=$bin/suite-bench/$1
  rm -rf "$dir"; mkdir -p "$dir/tmp"
  cp "$bin/suite_probe.exe" "$dir/"
  "$2" "$dir"
  local loads=() inits=() decodes=()
  for _ in $(seq "$runs"); do
    rm -f "$dir/probe.log"
    "$here/scripts/wine" "$dir/suite_probe.exe" timed "$(winpath "$dir/probe.log")" "$(winpath "$dir/tmp")" >/dev/null 2>&1 || true
    loads+=("$(sed -n 's/^load-us=//p' "$dir/probe.log")")
    inits+=("$(sed -n 's/^init-us=//p' "$dir/probe.log")")
    decodes+=("$(sed -n 's/^decode-us=//p' "$dir/probe.log")")
  done
  echo "$(median "${loads[@]}") $(median "${inits[@]}") $(median "${decodes[@]}")"
}

median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

placed()   { cp "$module" "$1/SrvKitCore.2.7.2.dll"; }
unpacked() { :; }
leftover() { cp "$module" "$1/tmp/SrvKitCore.2.7.2.dll"; }

read -r aload ainit decode < <(measure placed placed)
read -r bload binit _ < <(measure unpacked unpacked)
read -r cload cinit _ < <(measure leftover leftover)
ratio() { echo "$1 / $2" | bc -l; }
echo "decoding the resource alone: $decode us (median)"
echo "module: $(stat -c %s "$module") bytes unpacked, resource $(stat -c %s "$packed") bytes packed"
printf '%-34s %10s %7s %14s\n' "median of $runs starts" "load us" "ratio" "rest of start"
printf '%-34s %10s %7.2f %14s\n' "file in the program's directory" "$aload" 1 "$ainit"
printf '%-34s %10s %7.2f %14s\n' "unpacked from the resource" "$bload" "$(ratio "$bload" "$aload")" "$binit"
printf '%-34s %10s %7.2f %14s\n' "earlier copy checked and reused" "$cload" "$(ratio "$cload" "$aload")" "$cinit"
