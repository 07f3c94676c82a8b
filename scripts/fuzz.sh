#!/usr/bin/env bash
# Runs every libFuzzer target (or those named) for a while with a corpus kept
# between runs, and prints each target's executions.
#   scripts/fuzz.sh [-t SECONDS] [-c CORPUS_ROOT] [TARGET...]
# SECONDS per target (default 600); CORPUS_ROOT (default fuzz-corpus/ in the
# tree, ignored by git) keeps what each target found, seeded from
# fuzz/corpus/<target>/. A crash stops the script, naming the saved input.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=600
corpus_root=fuzz-corpus
while getopts "t:c:" option; do
  case "$option" in
    t) seconds=$OPTARG ;;
    c) corpus_root=$OPTARG ;;
    *) echo "usage: scripts/fuzz.sh [-t SECONDS] [-c CORPUS_ROOT] [TARGET...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

scripts/install-deps.sh
fuzz_dir=$(scripts/build.sh fuzz | tail -n 1)

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for seeds in fuzz/corpus/*/; do targets+=("$(basename "$seeds")"); done
fi

for name in "${targets[@]}"; do
  name=${name%_fuzz}
  corpus=$corpus_root/$name
  mkdir -p "$corpus" "$corpus_root/artifacts"
  log=$corpus_root/$name.log
  if ! "$fuzz_dir/fuzz/${name}_fuzz" -max_total_time="$seconds" -max_len=16384 -print_final_stats=1 \
      -artifact_prefix="$corpus_root/artifacts/${name}-" "$corpus" "fuzz/corpus/$name" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "${name}_fuzz failed; the input is in $corpus_root/artifacts/"
    exit 1
  fi
  echo "${name}_fuzz: $(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}') executions in ${seconds} s"
done
