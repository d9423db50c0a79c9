#!/usr/bin/env bash
# Prints what razmnozhator-cli's random access costs from the command line:
# a sample of 10^5 within a length range that keeps about one variant in a
# million of 10^100, a sample of 10^7 streamed to a file (time and peak
# memory), the first and the last of three shards of 10^7 variants (the last
# must cost no more than the first: it seeks, it does not skip), one
# --nth of 10^100 variants, and options together: a shuffle within bounds,
# bounds that keep everything, a small bounded count of a deep template and
# --diverse over lines of a million characters.
#
# Usage: bench_random.sh RAZMNOZHATOR_CLI
# Environment: TMPDIR (where the output files go; they are deleted afterwards).
# This is a benchmark that prints figures, not a test.

set -euo pipefail
export LC_NUMERIC=C

if [[ $# -ne 1 ]]; then
    echo "usage: $0 RAZMNOZHATOR_CLI" >&2
    exit 2
fi
tool=$(realpath "$1")

work=$(mktemp -d "${TMPDIR:-/tmp}/razmnozhator-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

repeat_group() { # group times
    local i
    for ((i = 0; i < $2; ++i)); do printf '%s' "$1"; done
}
digits='[0|1|2|3|4|5|6|7|8|9]'
# 100 groups of lengths 1 to 5: 10^100 variants of 100 to 500 characters,
# of which about one in a million has 367 or more.
repeat_group '[a|bb|ccc|dddd|eeeee|f|gg|hhh|iiii|jjjjj]' 100 > "$work/lengths.txt"
repeat_group "$digits" 100 > "$work/googol.txt"
repeat_group "$digits" 9 > "$work/billion.txt"
repeat_group "$digits" 7 > "$work/ten-million.txt"

# Prints "seconds peak-KiB" of running "$@" with standard output into $2 of the caller.
measure() { # output command...
    local output=$1
    shift
    if /usr/bin/time -f '%e %M' -o "$work/time" "$@" > "$output"; then
        tail -n 1 "$work/time"
    else
        echo "failed failed"
    fi
}

report() { # label "seconds peak" [goal]
    local label=$1 seconds peak
    read -r seconds peak <<< "$2"
    if [[ $seconds == failed ]]; then
        printf '%-58s %21s   %s\n' "$label" "failed" "${3:-}"
        return
    fi
    printf '%-58s %8.2f s %8.1f MiB   %s\n' "$label" "$seconds" "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')" "${3:-}"
}

kept=$("$tool" --count --min-length 367 "$work/lengths.txt")
echo "lengths.txt: 10^100 variants, $kept of them 367 characters or longer"
report "--sample 100000 --min-length 367 (one in a million)" \
    "$(measure /dev/null "$tool" --sample 100000 --seed 1 --min-length 367 "$work/lengths.txt")" "goal: under 1 s"
report "--sample 10000000 of 10^9 variants, to a file" \
    "$(measure /dev/null "$tool" --sample 10000000 --seed 1 -o "$work/sample.txt" "$work/billion.txt")" \
    "goal: under 64 MiB"
report "--shard 1/3 of 10^7 variants" "$(measure /dev/null "$tool" --shard 1/3 -o "$work/shard.txt" "$work/ten-million.txt")"
report "--shard 3/3 of 10^7 variants" "$(measure /dev/null "$tool" --shard 3/3 -o "$work/shard.txt" "$work/ten-million.txt")" \
    "goal: no slower than 1/3"
report "--nth 10^99 of 10^100 variants" \
    "$(measure /dev/null "$tool" --nth "1$(printf '0%.0s' $(seq 99))" "$work/googol.txt")"

# Options together: a shuffle within bounds streams what the bounds keep,
# bounds that keep every variant cost nothing, small bounded answers cost what
# they keep, and --diverse holds no whole lines.
repeat_group '[a|bb]' 40 > "$work/forty-pairs.txt"
repeat_group '[a|b]' 1000000 > "$work/long-lines.txt"
{ repeat_group '[x|{-|' 3000; repeat_group '}]' 3000; } > "$work/deep.txt"
report "--shuffle --max-length 41 of [a|bb] x 40" \
    "$(measure /dev/null "$tool" --shuffle --max-length 41 "$work/forty-pairs.txt")" "goal: under 0.1 s"
report "--nth 5 of [a|b] x 10^6" "$(measure /dev/null "$tool" --nth 5 "$work/long-lines.txt")"
report "--nth 5 --max-length 4294967295 of [a|b] x 10^6" \
    "$(measure /dev/null "$tool" --nth 5 --max-length 4294967295 "$work/long-lines.txt")" \
    "goal: within 1.2 x the line above"
report "--count --max-length 9 of [x|{-| x 3000 }] x 3000" \
    "$(measure /dev/null "$tool" --count --max-length 9 "$work/deep.txt")" "goal: under 0.1 s"
report "--sample 200 --diverse of [a|b] x 10^6" \
    "$(measure /dev/null "$tool" --sample 200 --diverse --seed 1 "$work/long-lines.txt")" \
    "goal: under 20 s and 500 MiB"
