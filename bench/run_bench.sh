#!/bin/bash
# run_bench.sh: how much kovex costs beyond libmp3lame itself, and whether its
# progress lines come often enough for a live display.
#
# Builds a Release build, makes music-like WAVs of our own (LONG_SECONDS of
# 44.1 kHz stereo and of mono, SHORT_SECONDS of stereo) and runs, in rounds
# whose order alternates (forward, then backward), each command of a case:
#   cbr    kovex -GUI and kovex with its bar line, both read through a pipe as a
#          front end reads them; kovex -GUI with its screen output going to
#          /dev/null (kovex without the reader's wake-ups); the floor
#          (bench/floor_encoder: libmp3lame driven directly, same settings);
#          lame -b 192 -m j --noreplaygain (the same work) and lame -b 192 with
#          its defaults (it analyses ReplayGain too), the comparison a user makes
#   vbr    -V2: kovex -GUI, kovex to /dev/null, the floor, lame
#   mono   a mono file at 96 kbps: the same four
#   short  the SHORT_SECONDS input, which is mostly start-up (binding the engine
#          and its libraries): kovex -GUI, the floor, lame; SHORT_RUNS rounds
# Every command runs under bench/bench_run, which gives it a session of its own,
# reads its screen output to the end and reports wall time, peak memory and
# when its progress lines came. Ratios are paired: kovex's time over the other
# command's in the same round, the median of those taken.
#
# Every output must be byte-identical to the floor's (lame's with ReplayGain
# from its second frame on: its first, the LAME tag, holds the gain); the
# benchmark checks after every round and exits 1 if any differs. It ends with
# one verdict line per target:
#   kovex / floor <= 1.01 through a pipe, for CBR stereo (both line styles),
#     -V2 and mono;
#   kovex / lame <= 1.00 for the short input and the long one;
#   kovex's peak memory flat in input length (anonymous memory, long input
#     against short, within 16 KiB) and at most 1.5 MiB above the floor's
#     (peak resident memory, medians);
#   progress in every mode: at least 20 lines a second of wall time, and the
#     first line within 50 ms of the start.
# Missed targets exit 0 unless BENCH_STRICT=1: timings on a busy host say
# little, and the verdicts are there to be read. Beside them it prints what one
# progress line costs its writer (bench/line_cost) and, with CALLGRIND=1, the
# instruction counts of every command of each case on a CALLGRIND_SECONDS input
# (and on the short one), which settle the ratios that lie within the noise of
# the timings; that takes several minutes more.
#
# Environment: RUNS (7), SHORT_RUNS (21), LONG_SECONDS (120), SHORT_SECONDS (1),
# BENCH_BUILD_DIR (build-bench), BENCH_STRICT=1 to fail when a target is missed,
# CALLGRIND=1 (needs valgrind), CALLGRIND_SECONDS (20).
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd)

runs=${RUNS:-7}
short_runs=${SHORT_RUNS:-21}
long_seconds=${LONG_SECONDS:-120}
short_seconds=${SHORT_SECONDS:-1}
build_dir=${BENCH_BUILD_DIR:-build-bench}
sh scripts/install-deps.sh bench
lame_cli=$(command -v lame)
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DKOVEX_BUILD_TESTS=OFF -DKOVEX_BUILD_BENCH=ON >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target kovex lame_enc make_music_wav floor_encoder bench_run line_cost \
    >/dev/null

# Plain names in a folder of its own.
work=$(mktemp -d /tmp/kovexbenchXXXXXX)
trap 'rm -rf "$work"' EXIT
cp "$build_dir/bin/kovex" "$build_dir/bin/lame_enc.dll" "$build_dir/bench/floor_encoder" \
    "$build_dir/bench/bench_run" "$build_dir/bench/line_cost" "$work/"
cd "$work"
"$source_dir/$build_dir/tools/make_music_wav" long.wav "$long_seconds" 2 44100
"$source_dir/$build_dir/tools/make_music_wav" mono.wav "$long_seconds" 1 44100
"$source_dir/$build_dir/tools/make_music_wav" short.wav "$short_seconds" 2 44100
load_at_start=$(cut -d" " -f1-3 /proc/loadavg)

# Each case: label=command lines; a command's output is LABEL.mp3.
commands_of() {
    case "$1" in
    cbr)
        echo "kovex_gui=./kovex -GUI long.wav kovex_gui.mp3"
        echo "kovex_bar=./kovex long.wav kovex_bar.mp3"
        echo "kovex_null=--no-pipe ./kovex -GUI long.wav kovex_null.mp3"
        echo "floor=./floor_encoder long.wav floor.mp3 2 cbr 192"
        echo "lame=$lame_cli -b 192 -m j --noreplaygain long.wav lame.mp3"
        echo "lame_rg=$lame_cli -b 192 long.wav lame_rg.mp3"
        ;;
    vbr)
        echo "kovex_gui=./kovex -GUI -V2 long.wav kovex_gui.mp3"
        echo "kovex_null=--no-pipe ./kovex -GUI -V2 long.wav kovex_null.mp3"
        echo "floor=./floor_encoder long.wav floor.mp3 2 vbr 2"
        echo "lame=$lame_cli -V 2 -b 32 -B 256 -m j --noreplaygain long.wav lame.mp3"
        ;;
    mono)
        # A one-channel file without "-b" is encoded at 96 kbps mono.
        echo "kovex_gui=./kovex -GUI mono.wav kovex_gui.mp3"
        echo "kovex_null=--no-pipe ./kovex -GUI mono.wav kovex_null.mp3"
        echo "floor=./floor_encoder mono.wav floor.mp3 1 cbr 96"
        echo "lame=$lame_cli -b 96 -m m --noreplaygain mono.wav lame.mp3"
        ;;
    short)
        echo "kovex_gui=./kovex -GUI short.wav kovex_gui.mp3"
        echo "floor=./floor_encoder short.wav floor.mp3 2 cbr 192"
        echo "lame=$lame_cli -b 192 -m j --noreplaygain short.wav lame.mp3"
        ;;
    esac
}

# The length of an MPEG-1 Layer III file's first frame, from its header.
first_frame_bytes() {
    local bytes bitrate rate padding
    read -r _ _ bytes _ < <(od -An -tu1 -N4 "$1")
    bitrate=$(echo "0 32 40 48 56 64 80 96 112 128 160 192 224 256 320" | cut -d" " -f$(((bytes >> 4) + 1)))
    rate=$(echo "44100 48000 32000" | cut -d" " -f$((((bytes >> 2) & 3) + 1)))
    padding=$(((bytes >> 1) & 1))
    echo $((144000 * bitrate / rate + padding))
}

mismatches=0
check_outputs() { # case
    local output skip
    for output in kovex_gui kovex_bar kovex_null lame lame_rg; do
        [ -f "$output.mp3" ] || continue
        if [ "$output" = lame_rg ]; then
            skip=$(first_frame_bytes floor.mp3)
            cmp -s -i "$skip" "$output.mp3" floor.mp3 && continue
        else
            cmp -s "$output.mp3" floor.mp3 && continue
        fi
        echo "run_bench: $1: $output.mp3 differs from floor.mp3" >&2
        mismatches=$((mismatches + 1))
    done
}

results="$work/results.txt"
: >"$results"

run_one() { # case round label [--no-pipe] program args...
    local case_name=$1 round=$2 label=$3 line
    shift 3
    line=$(./bench_run "$@")
    if [ "${line##* }" != 0 ]; then
        echo "run_bench: $case_name/$label exited with status ${line##* }" >&2
        exit 1
    fi
    [ "$round" = 0 ] || echo "$case_name $label $round $line" >>"$results"
}

for case_name in cbr vbr mono short; do
    mapfile -t commands < <(commands_of "$case_name")
    rounds=$runs
    [ "$case_name" = short ] && rounds=$short_runs
    # Round 0 warms the caches and is not counted.
    for ((round = 0; round <= rounds; round++)); do
        rm -f ./*.mp3
        for ((i = 0; i < ${#commands[@]}; i++)); do
            entry=${commands[$(((round % 2) ? i : ${#commands[@]} - 1 - i))]}
            # shellcheck disable=SC2086
            run_one "$case_name" "$round" "${entry%%=*}" ${entry#*=}
        done
        check_outputs "$case_name"
    done
done

# Anonymous memory, in runs of their own: kovex and the floor on both inputs.
memory="$work/memory.txt"
: >"$memory"
for round in 1 2 3; do
    for input in long short; do
        # shellcheck disable=SC2086
        echo "$input kovex_gui $(./bench_run --memory ./kovex -GUI $input.wav m.mp3)" >>"$memory"
        echo "$input floor $(./bench_run --memory ./floor_encoder $input.wav m.mp3 2 cbr 192)" >>"$memory"
    done
done

# One progress line's cost to its writer, working 110 us between lines as the
# mono encoding does per frame: five measures of 3000 lines.
line_cost=$(for _ in 1 2 3 4 5; do ./line_cost 110 3000; done | sort -n | sed -n 3p)

# Instruction counts, with CALLGRIND=1: each case's commands on a shorter
# input (the short case on its own), kovex's screen output through the pipe
# or to /dev/null as in the timed runs.
instructions="$work/instructions.txt"
: >"$instructions"
if [ "${CALLGRIND:-0}" = 1 ]; then
    valgrind=$(command -v valgrind || true)
    if [ -z "$valgrind" ]; then
        echo "run_bench: CALLGRIND=1 needs valgrind (Debian package valgrind)" >&2
        exit 1
    fi
    callgrind_seconds=${CALLGRIND_SECONDS:-20}
    "$source_dir/$build_dir/tools/make_music_wav" cg_long.wav "$callgrind_seconds" 2 44100
    "$source_dir/$build_dir/tools/make_music_wav" cg_mono.wav "$callgrind_seconds" 1 44100
    for case_name in cbr vbr mono short; do
        while IFS='=' read -r label command; do
            pipe_choice=""
            case "$command" in --no-pipe\ *) pipe_choice=--no-pipe; command=${command#--no-pipe } ;; esac
            command=${command//long.wav/cg_long.wav}
            command=${command//mono.wav/cg_mono.wav}
            # shellcheck disable=SC2086
            ./bench_run $pipe_choice "$valgrind" --tool=callgrind --log-file=/dev/null \
                --callgrind-out-file=callgrind.out $command >/dev/null
            echo "$case_name $label $(grep -m1 '^summary:' callgrind.out | cut -d' ' -f2)" >>"$instructions"
        done < <(commands_of "$case_name")
    done
fi

echo
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'),"\
     "$(uname -sr), libmp3lame via $("$lame_cli" --version | head -1 | sed 's/ (.*//')"
echo "load average at the start: $load_at_start, at the end: $(cut -d" " -f1-3 /proc/loadavg)"
echo "input: ${long_seconds} s (cbr, vbr, mono) and ${short_seconds} s (short) of 44.1 kHz 16-bit;"\
     "rounds: $runs ($short_runs for short) after one to warm up, order alternating"
echo

awk -v strict="${BENCH_STRICT:-0}" -v mismatches="$mismatches" -v memory_file="$memory" \
    -v instructions_file="$instructions" -v line_cost="$line_cost" -v callgrind_seconds="${CALLGRIND_SECONDS:-20}" '
function median(list, n,    sorted, i, j, t) {
    for (i = 1; i <= n; i++) sorted[i] = list[i]
    for (i = 2; i <= n; i++) for (j = i; j > 1 && sorted[j-1] > sorted[j]; j--) { t = sorted[j]; sorted[j] = sorted[j-1]; sorted[j-1] = t }
    return n % 2 ? sorted[(n+1)/2] : (sorted[n/2] + sorted[n/2+1]) / 2
}
# The median over the rounds of one measure of a case and command.
function med(cs, label, what,    n, r, list) {
    n = 0
    for (r = 1; r <= rounds[cs]; r++) if ((cs, label, r, what) in value) list[++n] = value[cs, label, r, what]
    return n ? median(list, n) : -1
}
# The median over the rounds of one command'"'"'s wall time (or another measure)
# over another command'"'"'s in the same round.
function paired(cs, a, b, what,    n, r, list) {
    if (what == "") what = "wall"
    n = 0
    for (r = 1; r <= rounds[cs]; r++)
        if ((cs, a, r, what) in value && (cs, b, r, what) in value) list[++n] = value[cs, a, r, what] / value[cs, b, r, what]
    return n ? median(list, n) : -1
}
function verdict(what, shown, target, ok) {
    if (!ok) missed++
    printf "%-52s %-16s (target %s) %s\n", what, shown, target, ok ? "ok" : "MISSED"
}
{
    cs = $1; label = $2; r = $3
    value[cs, label, r, "wall"] = $4; value[cs, label, r, "cpu"] = $5 + $6; value[cs, label, r, "sys"] = $6
    value[cs, label, r, "rss"] = $7; value[cs, label, r, "lines"] = $8; value[cs, label, r, "rate"] = $8 / $4
    value[cs, label, r, "first"] = $9; value[cs, label, r, "gap"] = $10
    if (r > rounds[cs]) rounds[cs] = r
    if (!((cs, label) in seen)) { seen[cs, label] = 1; order[++keys] = cs " " label }
}
END {
    # Anonymous memory: input, command, then bench_run'"'"'s fields (the peak is the 8th).
    while ((getline line < memory_file) > 0) {
        split(line, f, " "); key = f[1] " " f[2]
        anon[key, ++anon_runs[key]] = f[10]
    }
    for (key in anon_runs) { for (i = 1; i <= anon_runs[key]; i++) l[i] = anon[key, i]; anon_median[key] = median(l, anon_runs[key]) }

    printf "%-6s %-10s %8s %8s %8s %10s %8s %9s %9s\n", "case", "command", "wall s", "cpu s", "sys s", "peak RSS", "lines/s", "1st line", "max gap"
    for (k = 1; k <= keys; k++) {
        split(order[k], part, " "); cs = part[1]; label = part[2]
        # No lines: no times; a gap of -1: every line came in one read.
        shown = med(cs, label, "first") < 0 ? sprintf("%8s %9s %9s", "-", "-", "-") : sprintf("%8.1f %6.1f ms %9s", med(cs, label, "rate"), 1000 * med(cs, label, "first"), med(cs, label, "gap") < 0 ? "-" : sprintf("%6.1f ms", 1000 * med(cs, label, "gap")))
        printf "%-6s %-10s %8.3f %8.3f %8.3f %6d KiB %s\n", cs, label, med(cs, label, "wall"), med(cs, label, "cpu"), med(cs, label, "sys"), med(cs, label, "rss"), shown
    }
    print ""
    print "beside the targets (paired ratios of wall time, medians over the rounds):"
    printf "  %-44s cbr %.3f   vbr %.3f   mono %.3f\n", "kovex -GUI to /dev/null / floor", paired("cbr", "kovex_null", "floor"), paired("vbr", "kovex_null", "floor"), paired("mono", "kovex_null", "floor")
    # Time off the CPU (waiting for it) shows in the wall time only: on a busy
    # machine the reader'"'"'s wake-ups can cost kovex its turn.
    printf "  %-44s cbr %.3f   bar %.3f   vbr %.3f   mono %.3f\n", "kovex through a pipe / floor, CPU time", paired("cbr", "kovex_gui", "floor", "cpu"), paired("cbr", "kovex_bar", "floor", "cpu"), paired("vbr", "kovex_gui", "floor", "cpu"), paired("mono", "kovex_gui", "floor", "cpu")
    printf "  %-44s cbr %.3f   vbr %.3f   mono %.3f   short %.3f\n", "lame / floor", paired("cbr", "lame", "floor"), paired("vbr", "lame", "floor"), paired("mono", "lame", "floor"), paired("short", "lame", "floor")
    printf "  %-44s %.3f\n", "kovex -GUI / lame -b 192 (with ReplayGain)", paired("cbr", "kovex_gui", "lame_rg")
    printf "  %-44s %.3f\n", "kovex -GUI / floor, short input", paired("short", "kovex_gui", "floor")
    printf "  %-44s kovex %d KiB (short input: %d KiB), floor %d KiB\n", "anonymous memory (median of 3 runs)", anon_median["long kovex_gui"], anon_median["short kovex_gui"], anon_median["long floor"]
    printf "  %-44s %s us (kovex -GUI: %d lines in the long cbr run)\n", "one progress line, its writer'"'"'s time", line_cost, med("cbr", "kovex_gui", "lines")
    while ((getline line < instructions_file) > 0) { split(line, f, " "); count[f[1], f[2]] = f[3]; counted = 1 }
    if (counted) {
        printf "  instructions (callgrind, %s s inputs and the short one), each command over the floor:\n", callgrind_seconds
        split("cbr vbr mono short", cases, " "); split("kovex_gui kovex_bar kovex_null lame lame_rg", labels, " ")
        for (c = 1; c <= 4; c++) {
            shown = sprintf("    %-6s floor %d M", cases[c], count[cases[c], "floor"] / 1e6)
            for (i = 1; i <= 5; i++) if ((cases[c], labels[i]) in count) shown = shown sprintf("   %s %+.3f %%", labels[i], 100 * (count[cases[c], labels[i]] / count[cases[c], "floor"] - 1))
            print shown
        }
    }
    print ""

    missed = 0
    printf "%-52s %-16s (target %s) %s\n", "outputs byte-identical to the floor'"'"'s", mismatches ? mismatches " differ" : "all", "all", mismatches ? "FAILED" : "ok"
    split("cbr kovex_gui|cbr kovex_bar|vbr kovex_gui|mono kovex_gui", judged, "|")
    for (j = 1; j <= 4; j++) {
        split(judged[j], part, " "); v = paired(part[1], part[2], "floor")
        verdict(judged[j] " / floor, through a pipe", sprintf("%.3f", v), "<= 1.01", v > 0 && v <= 1.01)
    }
    v = paired("short", "kovex_gui", "lame"); verdict("short kovex_gui / lame", sprintf("%.3f", v), "<= 1.00", v > 0 && v <= 1.00)
    v = paired("cbr", "kovex_gui", "lame"); verdict("cbr kovex_gui / lame", sprintf("%.3f", v), "<= 1.00", v > 0 && v <= 1.00)
    v = anon_median["long kovex_gui"] - anon_median["short kovex_gui"]
    verdict("kovex anonymous memory, long input - short", sprintf("%+d KiB", v), "<= 16 KiB", v <= 16)
    v = med("cbr", "kovex_gui", "rss") - med("cbr", "floor", "rss")
    verdict("cbr kovex_gui peak RSS - floor peak RSS", sprintf("%+d KiB", v), "<= 1536 KiB", v <= 1536)
    for (j = 1; j <= 4; j++) {
        split(judged[j], part, " "); v = med(part[1], part[2], "rate"); w = 1000 * med(part[1], part[2], "first")
        verdict(judged[j] " progress: lines/s, first line", sprintf("%.0f, %.1f ms", v, w), ">= 20, <= 50 ms", v >= 20 && w >= 0 && w <= 50)
    }
    print ""
    if (mismatches) { print "run_bench: FAILED: " mismatches " output(s) differ from the floor'"'"'s"; exit 1 }
    if (missed) { print "targets: " missed " missed"; exit strict ? 1 : 0 }
    print "targets: all met"
}' "$results"
