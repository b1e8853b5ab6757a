// kovex: a 16-bit PCM WAV (or raw PCM) to MP3, through the lame_enc.dll engine.
// The run is one straight pass in this fixed order; every stage either succeeds
// or ends it with -1. Nothing is released on an early exit: the process's end
// closes the files.

#include <climits>

#include "decisions/command_line.h"
#include "decisions/engine_record.h"
#include "decisions/sample_layout.h"
#include "decisions/settings_rules.h"
#include "decisions/wav_header.h"
#include "kovex_build.h"
#include "stages/console_output.h"
#include "stages/encode_loop.h"
#include "stages/engine_binding.h"
#include "stages/id3_tags.h"
#include "stages/key_wait.h"
#include "stages/run_files.h"
#include "stages/wav_reader.h"

int main(int argc, char** argv) {
    static char own_path[PATH_MAX];
    static RunRequest request;
    static EngineBinding engine;
    static RunFiles files;
    static Id3Tagger tagger;

    ensure_standard_descriptors();
    program_path(argv[0], own_path);
    if (argc < 2) {
        for (int page = 1; page <= 3; ++page) {
            show_help_page(page, kVersionString);
            wait_for_enter();
        }
        return 0;
    }
    const NamingOutcome naming = decide_command_line(argc - 1, argv + 1, request);
    // Not one byte of screen text may reach an MP3 on standard output.
    if (request.mp3_to_standard_output) give_standard_output_to_the_mp3(files);
    show_unknown_switches(request.unknown_switches);
    if (naming != NamingOutcome::named) {
        show_command_line_refusal(naming);
        return -1;
    }
    const bool gui = request.switches.gui;
    const bool tagged = any_tag(request.tags);
    if (!bind_engine(own_path, engine)) return -1;
    if (tagged && !load_id3_tagger(own_path, tagger)) return -1;
    if (!gui) show_title_banner(engine.version, kVersionString);
    if (!open_input_file(request.names, files)) return -1;
    if (!output_spares_input(request.names, files)) return -1;

    // The input is judged before the output is touched: a refused input never
    // costs the user an existing file.
    const bool raw_input = request.switches.raw_input;
    const WavProbe probe = read_wav_header(files.input, measure_input_size(files.input), raw_input);
    const ProbeVerdict verdict = judge_wav_probe(probe, raw_input);
    if (verdict != ProbeVerdict::accepted) {
        show_input_refusal(verdict, probe, gui);
        if (!gui) wait_for_enter();
        return -1;
    }
    const RunSettings settings = resolve_settings(request.switches, request.argument_count, probe);
    EngineConfig config = engine_config_of(settings);
    if (!open_output_file(request.names, files)) return -1;

    if (!gui) {
        show_settings_summary(settings, probe.input_size);
    } else {
        show_emulation_header(engine.version, kVersionString, request.names, settings);
    }
    // A stream that cannot be rewritten gets its tag before the first frame.
    if (tagged && !files.output_rewritable && !write_id3_tag_to_stream(tagger, files.output, request.tags))
        return -1;
    ProgressDisplay display = progress_display_for(settings, probe.input_size);
    if (!encode_samples(engine.api, config, files.input, files.output, sample_layout_of(probe, settings),
                        !files.output_rewritable, {show_progress, &display}))
        return -1;
    if (!close_run_files(files)) return -1;
    // A pipe or a device has no VBR header to write; the tag follows the LAME tag.
    if (files.output_rewritable) {
        if (!write_vbr_header(engine, files.output_path)) return -1;
        if (tagged && !write_id3_tag(tagger, files.output_path, request.tags)) return -1;
    }
    release_output_lock(files);
    show_run_complete(settings);
    if (!gui) wait_for_enter();
    return 0;
}
