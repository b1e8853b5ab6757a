#!/bin/bash
# run_bench.sh: how much kovex costs beyond libmp3lame itself.
#
# Builds a Release build, makes music-like WAVs of our own (10 minutes and
# 1 minute of 44.1 kHz stereo, 10 minutes of mono) and times, in alternation,
# on each of them:
#   kovex -GUI   the LAME-emulation line, read through a pipe as a front end does
#   kovex        the default bar line through the same pipe (no terminal, so the
#                closing wait for Enter ends at once)
#   floor        bench/floor_encoder: libmp3lame driven directly, same settings
#   lame         LAME's own command-line encoder with the same settings
#   kovex_null   (10-minute stereo and mono) kovex -GUI with its screen output
#                going to /dev/null: kovex without the cost of waking a reader
# Every command runs under bench/bench_run, which gives it a session of its own,
# reads its screen output to the end and reports wall time and peak memory.
# Prints the medians, the ratios and the targets: kovex/floor <= 1.02 (bar and
# -GUI), kovex/lame <= 1.00, kovex's peak memory the same for 1 and 10 minutes
# and within 2 MiB of the floor's.
#
# Environment: RUNS (5), LONG_SECONDS (600), SHORT_SECONDS (60),
# BENCH_BUILD_DIR (build-bench), BENCH_STRICT=1 to fail when a target is missed.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd)

runs=${RUNS:-5}
long_seconds=${LONG_SECONDS:-600}
short_seconds=${SHORT_SECONDS:-60}
build_dir=${BENCH_BUILD_DIR:-build-bench}
lame_cli=$(command -v lame || true)
if [ -z "$lame_cli" ]; then
    if [ "$(id -u)" -eq 0 ]; then
        apt-get update >/dev/null
        DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends lame >/dev/null
        lame_cli=$(command -v lame)
    else
        echo "run_bench: LAME's encoder (Debian package lame) is missing" >&2
        exit 1
    fi
fi

sh scripts/install-deps.sh
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DKOVEX_BUILD_TESTS=OFF -DKOVEX_BUILD_BENCH=ON >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target kovex lame_enc make_music_wav floor_encoder bench_run >/dev/null

# Switches are found anywhere in kovex's command line, its own path included,
# so everything runs from a folder whose path holds no '-', on plain names.
work=$(mktemp -d /tmp/kovexbenchXXXXXX)
trap 'rm -rf "$work"' EXIT
cp "$build_dir/bin/kovex" "$build_dir/bin/lame_enc.dll" "$build_dir/bench/floor_encoder" \
    "$build_dir/bench/bench_run" "$work/"
cd "$work"
"$source_dir/$build_dir/tools/make_music_wav" long.wav "$long_seconds" 2 44100
"$source_dir/$build_dir/tools/make_music_wav" short.wav "$short_seconds" 2 44100
"$source_dir/$build_dir/tools/make_music_wav" mono.wav "$long_seconds" 1 44100

# Each case: its name, then label=command pairs, one per line.
commands_of() {
    case "$1" in
    cbr)
        echo "kovex_gui=./kovex -GUI long.wav gui.mp3"
        echo "kovex_bar=./kovex long.wav bar.mp3"
        echo "floor=./floor_encoder long.wav floor.mp3 2 cbr 192"
        echo "lame=$lame_cli -b 192 -m j --noreplaygain long.wav lame.mp3"
        echo "kovex_null=--no-pipe ./kovex -GUI long.wav null.mp3"
        ;;
    short)
        echo "kovex_gui=./kovex -GUI short.wav gui.mp3"
        echo "kovex_bar=./kovex short.wav bar.mp3"
        echo "floor=./floor_encoder short.wav floor.mp3 2 cbr 192"
        echo "lame=$lame_cli -b 192 -m j --noreplaygain short.wav lame.mp3"
        ;;
    vbr)
        echo "kovex_gui=./kovex -GUI -V2 long.wav gui.mp3"
        echo "floor=./floor_encoder long.wav floor.mp3 2 vbr 2"
        echo "lame=$lame_cli -V 2 -b 32 -B 256 -m j --noreplaygain long.wav lame.mp3"
        ;;
    mono)
        # A one-channel file without "-b" is encoded at 96 kbps mono.
        echo "kovex_gui=./kovex -GUI mono.wav gui.mp3"
        echo "floor=./floor_encoder mono.wav floor.mp3 1 cbr 96"
        echo "lame=$lame_cli -b 96 -m m --noreplaygain mono.wav lame.mp3"
        echo "kovex_null=--no-pipe ./kovex -GUI mono.wav null.mp3"
        ;;
    esac
}

cases="cbr short vbr mono"
results="$work/results.txt"
: >"$results"

run_one() { # case label program args...
    local case_name=$1 label=$2 line status
    shift 2
    line=$(./bench_run "$@")
    status=${line##* }
    if [ "$status" != 0 ]; then
        echo "run_bench: $case_name/$label exited with status $status" >&2
        exit 1
    fi
    echo "$case_name $label $line" >>"$results"
}

for case_name in $cases; do
    rm -f gui.mp3 bar.mp3 floor.mp3 lame.mp3 null.mp3
    # One run of each to warm the caches, and a check that the outputs agree.
    while IFS='=' read -r label command; do
        # shellcheck disable=SC2086
        ./bench_run $command >/dev/null
    done < <(commands_of "$case_name")
    for output in gui bar lame null; do
        [ -f "$output.mp3" ] || continue
        if cmp -s "$output.mp3" floor.mp3; then same="the same bytes as"; else same="DIFFERENT bytes from"; fi
        echo "$case_name: $output.mp3 holds $same floor.mp3"
    done
    rm -f gui.mp3 bar.mp3 floor.mp3 lame.mp3 null.mp3
    for ((run = 1; run <= runs; run++)); do
        while IFS='=' read -r label command; do
            # shellcheck disable=SC2086
            run_one "$case_name" "$label" $command
        done < <(commands_of "$case_name")
    done
done

echo
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'),"\
     "$(uname -sr), libmp3lame via $("$lame_cli" --version | head -1 | sed 's/ (.*//')"
echo "load average at the end: $(cut -d" " -f1-3 /proc/loadavg)"
echo "input: ${long_seconds} s (long), ${short_seconds} s (short) of 44.1 kHz 16-bit; $runs timed runs each, alternating"
echo

# Medians, best runs and peaks per case and command, then the ratios of the
# medians (the targets), of the best runs and of the CPU times (user + system),
# which a busy host disturbs less.
awk -v strict="${BENCH_STRICT:-0}" '
function median(list, n,    sorted, i, j, t) {
    for (i = 1; i <= n; i++) sorted[i] = list[i]
    for (i = 2; i <= n; i++) for (j = i; j > 1 && sorted[j-1] > sorted[j]; j--) { t = sorted[j]; sorted[j] = sorted[j-1]; sorted[j-1] = t }
    return n % 2 ? sorted[(n+1)/2] : (sorted[n/2] + sorted[n/2+1]) / 2
}
{
    key = $1 SUBSEP $2
    if (!(key in count)) { order[++keys] = key }
    n = ++count[key]
    wall[key, n] = $3; user[key, n] = $4; sys[key, n] = $5; cpu[key, n] = $4 + $5
    if ($6 > rss[key]) rss[key] = $6
    if (!(key in best) || $3 < best[key]) best[key] = $3
}
END {
    printf "%-6s %-10s %10s %10s %10s %10s %12s\n", "case", "command", "wall (s)", "best (s)", "user (s)", "sys (s)", "peak RSS"
    for (k = 1; k <= keys; k++) {
        key = order[k]; split(key, part, SUBSEP); n = count[key]
        for (i = 1; i <= n; i++) { w[i] = wall[key, i]; u[i] = user[key, i]; s[i] = sys[key, i]; p[i] = cpu[key, i] }
        med[key] = median(w, n); medcpu[key] = median(p, n)
        printf "%-6s %-10s %10.3f %10.3f %10.3f %10.3f %8.2f MiB\n", part[1], part[2], med[key], best[key], median(u, n), median(s, n), rss[key] / 1024
    }
    print ""
    missed = 0
    split("cbr short vbr mono", cases, " ")
    for (c = 1; c <= 4; c++) {
        cs = cases[c]
        for (v = 1; v <= 3; v++) {
            kv = (v == 1) ? "kovex_gui" : (v == 2) ? "kovex_bar" : "kovex_null"
            if (!((cs SUBSEP kv) in med)) continue
            rf = med[cs, kv] / med[cs, "floor"]; rl = med[cs, kv] / med[cs, "lame"]
            # The targets are set on the 10-minute stereo input; the others are shown beside it.
            judged = (cs == "cbr" && kv != "kovex_null")
            okf = rf <= 1.02 ? "ok" : "MISSED"; okl = rl <= 1.00 ? "ok" : "MISSED"
            if (judged && (okf == "MISSED" || okl == "MISSED")) missed++
            printf "%-6s %-10s kovex/floor %.3f%s   kovex/lame %.3f%s   best: %.3f %.3f   cpu: %.3f %.3f\n", cs, kv, rf,
                   judged ? " (<= 1.02 " okf ")" : "", rl, judged ? " (<= 1.00 " okl ")" : "",
                   best[cs, kv] / best[cs, "floor"], best[cs, kv] / best[cs, "lame"],
                   medcpu[cs, kv] / medcpu[cs, "floor"], medcpu[cs, kv] / medcpu[cs, "lame"]
        }
    }
    print ""
    for (v = 1; v <= 2; v++) {
        kv = (v == 1) ? "kovex_gui" : "kovex_bar"
        grow = rss["cbr", kv] - rss["short", kv]
        over = rss["cbr", kv] - rss["cbr", "floor"]
        # A few pages either way are the loader and the allocator, not the input.
        okg = (grow <= 64) ? "ok" : "MISSED"; oko = (over <= 2048) ? "ok" : "MISSED"
        if (okg == "MISSED" || oko == "MISSED") missed++
        printf "%-10s peak RSS 10 min - 1 min: %+d KiB (<= 64, no growth: %s)   kovex - floor: %+d KiB (<= 2048: %s)\n",
               kv, grow, okg, over, oko
    }
    print ""
    if (missed) { print "targets: " missed " missed"; exit strict ? 1 : 0 }
    print "targets: all met"
}' "$results"
