// kovex: a 16-bit PCM WAV (or raw PCM) to MP3, through the lame_enc.dll engine.
// The run is one straight pass; every stage either succeeds or ends it with -1.
// Nothing is released on an early exit: the process's end closes the files.

#include "console/console.h"
#include "engine/engine_api.h"
#include "frontend/command_text.h"
#include "frontend/run_files.h"
#include "frontend/run_sequence.h"
#include "run/encode_loop.h"
#include "settings/engine_config.h"
#include "settings/run_settings.h"
#include "settings/settings_rules.h"
#include "settings/wav_probe.h"

int main(int argc, char** argv) {
    static char own_path[PATH_MAX];
    static CommandText command_text;
    static FileNames names;
    static RunResources resources;
    static EngineConfig config;
    static RunSettings settings;
    static WavProbe probe;

    ensure_standard_descriptors();
    program_path(argv[0], own_path);
    build_command_text(argc - 1, argv + 1, command_text);
    if (argc < 2) {
        show_help_pages(kVersionString);
        return 0;
    }
    if (!accept_file_names(argc - 1, argv + 1, command_text, names)) return -1;
    if (!bind_engine(own_path, resources.engine_library, resources.engine_api)) return -1;
    resources.engine_api.version(&resources.engine_version);
    if (!switch_present(command_text, "-GUI")) show_title_banner(resources.engine_version, kVersionString);
    if (!open_input_file(names, resources)) return -1;
    if (!output_spares_input(names, resources)) return -1;
    init_engine_config(config);
    init_run_settings(settings);
    // The input is judged before the output is touched: a refused input never
    // costs the user an existing file.
    if (!probe_wav_header(resources.input_file, measure_input_size(resources.input_file), command_text, probe))
        return -1;
    resolve_settings(command_text, argc, probe, config, settings);
    if (!open_output_file(names, resources)) return -1;
    if (!switch_present(command_text, "-GUI")) {
        show_settings_summary(settings, config.input_rate, config.output_rate, probe.input_size);
    } else {
        show_emulation_header(resources.engine_version, kVersionString, names.input_name, names.output_name,
                              settings, config.output_rate);
    }
    return encode_and_finalise(resources, config, settings, command_text, names, probe);
}
