#!/usr/bin/env bash
# Times `kvopt batch --slurm` on the one-node test cluster: sixteen runs of a stand-in model
# that works 0.5 s each, from kvopt's start to its summary, next to the same batch run on this
# machine with as many models at a time as the node has CPUs. The difference is what Slurm
# itself costs (the scheduler's cycles, starting each task, kvopt's squeue polling). The
# model writes when it starts and ends, so the time before the first model starts and after
# the last one ends is shown too.
#
#   bench/slurm-batch.sh [BUILD_DIR] [REPEATS]      (default build, 3)
#
# Needs the test cluster: scripts/slurm-cluster-start, then . "$KV_SLURM_DIR/env" (SLURM_CONF).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
repeats=${2:-3}
runs=16
[ -n "${SLURM_CONF:-}" ] || { echo "$0: SLURM_CONF is not set: start the test cluster first" >&2; exit 2; }
cpus=$(sinfo -h -o %c | head -n 1)

work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
cp -r "$build/demo/model" "$work/model"
mkdir -p "$work/bin" "$work/runs"
cp "$build/bin/kvopt" "$work/bin/kvopt" # its run history beside it, not in the build
cat >"$work/model/half-second-model" <<'MODEL'
#!/bin/sh
start=$(date +%s.%N)
sleep 0.5
./demo-model "$1"
code=$?
echo "$start $(date +%s.%N)" >>"$1.times"
exit $code
MODEL
chmod +x "$work/model/half-second-model"
demo_outputs=$build/demo/model/outputs
for i in $(seq -w 1 $runs); do
    sed -e "s|$demo_outputs/demo\.|$work/model/outputs/run$i.|" "$work/model/demo.opt" \
        >"$work/runs/run$i.opt"
done

kvopt=("$work/bin/kvopt" --model-dir "$work/model")
now() { date +%s.%N; }
report() { # LABEL T0 T1: the wall time and the models' first start and last end
    cat "$work"/runs/*.times | awk -v label="$1" -v t0="$2" -v t1="$3" '
        { if (NR == 1 || $1 < first) first = $1; if ($2 > last) last = $2 }
        END { printf "%-22s %6.2f s   first model start after %5.2f s   summary %5.2f s after the last model end\n",
                     label, t1 - t0, first - t0, t1 - last }'
    rm -f "$work"/runs/*.times
}

echo "$runs runs of a 0.5 s model, $cpus CPUs on the node"
for r in $(seq "$repeats"); do
    rm -rf "$work"/runs/kvbatch-*
    t0=$(now)
    "${kvopt[@]}" batch -j "$cpus" --model-exe half-second-model "$work/runs" >/dev/null 2>&1
    report "local, -j $cpus (#$r)" "$t0" "$(now)"
    t0=$(now)
    "${kvopt[@]}" batch --slurm --model-exe half-second-model "$work/runs" >/dev/null 2>&1
    report "slurm (#$r)" "$t0" "$(now)"
done
