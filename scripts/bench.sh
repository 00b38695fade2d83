#!/usr/bin/env bash
# Builds the benchmarks and runs the ones named on the command line (default:
# every program under bench/), then prints one table: each figure with a
# target, its target and their ratio (at most 1 meets the target), and the
# timing figures beside them. The host CPU figure polls for 60 seconds
# (ZOR_BENCH_POLL_SECONDS to change that). Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh python3 lm-sensors
cmake --preset default >/dev/null
if [ $# -gt 0 ]; then
  programs=("$@")
else
  programs=()
  for src in bench/*.cpp; do programs+=("bench_$(basename "$src" .cpp)"); done
fi
cmake --build --preset default -j "$(nproc)" --target "${programs[@]}"

out="build/default/bench-results"
mkdir -p "$out"
for program in "${programs[@]}"; do
  echo "== $program =="
  "build/default/bench/$program" --benchmark_out="$out/$program.json" \
    --benchmark_out_format=json >"$out/$program.log" 2>&1 || { cat "$out/$program.log"; exit 1; }
done

python3 - "$out" "${programs[@]}" <<'PY'
import json, sys
out, programs = sys.argv[1], sys.argv[2:]
shown = {'value', 'target', 'ratio', 'iterations'}
rows = []
for program in programs:
    with open(f"{out}/{program}.json") as f:
        for b in json.load(f)['benchmarks']:
            if b.get('error_occurred'):
                rows.append((b['name'], 'error: ' + b.get('error_message', ''), '', '', ''))
                continue
            extra = ' '.join(f"{k}={v:.4g}" for k, v in b.items()
                             if k not in shown and isinstance(v, (int, float))
                             and k not in ('real_time', 'cpu_time', 'repetitions', 'repetition_index',
                                           'threads', 'family_index', 'per_family_instance_index'))
            if 'ratio' in b:
                rows.append((b['name'], f"{b['value']:.4g}", f"{b['target']:.4g}",
                             f"{b['ratio']:.3f}", extra))
            else:
                rows.append((b['name'], f"{b['cpu_time']:.4g} {b['time_unit']} cpu", '-', '-', extra))
header = ('figure', 'value', 'target', 'ratio', 'details')
widths = [max(len(r[i]) for r in rows + [header]) for i in range(4)]
for r in [header] + rows:
    print('  '.join(r[i].ljust(widths[i]) for i in range(4)) + '  ' + r[4])
PY
