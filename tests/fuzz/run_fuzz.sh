#!/bin/bash
# run_fuzz.sh: builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on), replays every input kept under
# tests/fuzz/regressions/<target>/, then fuzzes each target for a bounded
# time (FUZZ_SECONDS each, 20 by default: a minute in all). Fails on the first
# crash, broken invariant, sanitizer report or hang, and names the input that
# shows it; keep that input as a regression file once the fault is mended.
#
# Environment: FUZZ_SECONDS (20), FUZZ_BUILD_DIR (build-fuzz).
set -euo pipefail
cd "$(dirname "$0")/../.."
source_dir=$(pwd)
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
seconds=${FUZZ_SECONDS:-20}
targets="fuzz_command_line fuzz_header_settings fuzz_engine"

sh scripts/install-deps.sh fuzz

cmake -S . -B "$build_dir" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOVEX_BUILD_TESTS=OFF -DKOVEX_BUILD_FUZZ=ON -DKOVEX_WERROR=ON >/dev/null
# shellcheck disable=SC2086
cmake --build "$build_dir" -j"$(nproc)" --target $targets >/dev/null

fuzz_dir="$source_dir/$build_dir/fuzz"
mkdir -p "$fuzz_dir/artifacts"

# Starting points that reach deep at once; the corpus grows from them and is
# kept in the build folder between runs.
seed() { # target name bytes (printf escapes)
    mkdir -p "$fuzz_dir/corpus/$1"
    printf "$3" >"$fuzz_dir/corpus/$1/seed_$2"
}
wav_header='RIFF\x24\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x02\x00\x44\xac\x00\x00\x10\xb1\x02\x00\x04\x00\x10\x00data\x00\x00\x00\x00'
mono_header='RIFF\x24\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00\x80\xbb\x00\x00\x00\x77\x01\x00\x02\x00\x10\x00data\x00\x00\x00\x00'
seed fuzz_command_line switches '/tmp/kovexfuzz/kovex\0-b\000128\0in.wav\0out.mp3'
seed fuzz_command_line lone_name '/tmp/kovexfuzz/kovex\0music/take.2/in.wave'
seed fuzz_command_line all_switches '/tmp/kovexfuzz/kovex\0-GUI\0-V2\0--resample22.05'
seed fuzz_header_settings stereo_vbr "\x2c${wav_header}/tmp/kovexfuzz/kovex\0-V2\0-B320\0in.wav\0out.mp3"
seed fuzz_header_settings mono_one_name "\x2c${mono_header}/tmp/kovexfuzz/kovex\0in.wav"
seed fuzz_header_settings raw_resample "\x2c${mono_header}/tmp/kovexfuzz/kovex\0-r\0-s48000\0--resample16\0-mm\0-b32\0in.raw"
# Engine: choices, four chunk counts with their seeds, then the record, whose
# fields pick from the sets of real values (44100 Hz, joint stereo, 192 kbps...).
chunks='\xfe\x01\xfe\x02\x05\x03\xff\x00'
seed fuzz_engine cbr_stereo "\x03${chunks}\0\0\0\0\0\0\0\0\0\0\0\0\x07\0\0\0\x07\0\0\0\x01\0\0\0\x0a\0\0\0\x0e\0\0\0\xff\xff\xff\xff"
seed fuzz_engine vbr_mono "\x07${chunks}\0\0\0\0\0\0\0\0\0\0\0\0\x07\0\0\0\x07\0\0\0\x03\0\0\0\0\0\0\0\x0c\0\0\0\xff\xff\xff\xff\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x01\0\0\0\x03\0\0\0\0\0\0\0\x03\0\0\0"
seed fuzz_engine resample_dual "\x03${chunks}\0\0\0\0\0\0\0\0\0\0\0\0\x08\0\0\0\x04\0\0\0\x02\0\0\0\x06\0\0\0\0\0\0\0\xff\xff\xff\xff"

for target in $targets; do
    binary="$fuzz_dir/$target"
    regressions="tests/fuzz/regressions/$target"
    if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
        echo "run_fuzz: $target: replaying $(ls "$regressions" | wc -l) regression input(s)"
        "$binary" -timeout=10 "$regressions"/* >"$fuzz_dir/$target.replay.log" 2>&1 || {
            cat "$fuzz_dir/$target.replay.log" >&2
            echo "run_fuzz: $target: a regression input fails again" >&2
            exit 1
        }
    fi
done

for target in $targets; do
    echo "run_fuzz: $target: fuzzing for $seconds s"
    if ! "$fuzz_dir/$target" -max_total_time="$seconds" -timeout=10 -max_len=512 -len_control=0 -print_final_stats=1 \
        -artifact_prefix="$fuzz_dir/artifacts/$target-" "$fuzz_dir/corpus/$target" \
        >"$fuzz_dir/$target.log" 2>&1; then
        tail -n 60 "$fuzz_dir/$target.log" >&2
        echo "run_fuzz: $target: crash; the input is in $fuzz_dir/artifacts/ (keep it under tests/fuzz/regressions/$target/ once mended)" >&2
        exit 1
    fi
    grep -E "^stat::number_of_executed_units|^#[0-9]+.*DONE" "$fuzz_dir/$target.log" | tail -2 | sed "s/^/run_fuzz: $target: /"
done
echo "run_fuzz: all targets ran without a crash"
