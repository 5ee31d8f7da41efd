#!/usr/bin/env bash
# Shares of one batch run by GNU parallel, as over several hosts, and as the tasks of a job
# array: together they write exactly the files one unshared run writes, byte for byte.
#   shard_parallel.sh KALMIRA_CLI WORK_DIR
set -euo pipefail
cli=$1
work=$2
command -v parallel >/dev/null || { echo "GNU parallel is not installed (scripts/install-deps.sh --test)"; exit 1; }
rm -rf "$work"
mkdir -p "$work/in/a" "$work/in/b/c"
for i in $(seq 1 13); do
  folder=$work/in/$( [ $((i % 3)) = 0 ] && echo a || echo b/c )
  convert -size $((30 + i))x$((20 + i)) "plasma:fractal" -seed "$i" "$folder/p$i.png" 2>/dev/null ||
    convert -size $((30 + i))x$((20 + i)) gradient:red-blue "$folder/p$i.png"
done
export XDG_CONFIG_HOME=$work/config  # the built-in batch profile

"$cli" batch --jobs 1 --out "$work/whole" "$work/in" >"$work/whole.txt"
# Four shares at once, as `parallel -S host1,host2,...` would spread them over machines.
parallel -j4 "$cli" batch --jobs 1 --shard {}/4 --out "$work/shared" "$work/in" ">$work/share{}.txt" ::: 1 2 3 4
# A job array: each task takes the share of its index (here SLURM-style, 1-based).
for task in 1 2 3; do
  SLURM_ARRAY_TASK_ID=$task bash -c '"$0" batch --shard "$SLURM_ARRAY_TASK_ID/3" --out "$1" "$2" >/dev/null' \
    "$cli" "$work/array" "$work/in"
done

diff -r "$work/whole" "$work/shared"
diff -r "$work/whole" "$work/array"
written=$(cat "$work"/share?.txt | awk '/^written:/ {n += $2} END {print n}')
[ "$written" = 13 ] || { echo "the shares wrote $written files, not 13"; exit 1; }
[ "$(find "$work/whole" -type f | wc -l)" = 13 ]
echo "13 files in 4 shares and in 3 array tasks, identical to one run"
