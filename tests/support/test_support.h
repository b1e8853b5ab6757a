// Shared test helpers: a scratch folder holding a copy of the program and an
// engine, running the program in a session of its own, fixtures, MP3 reading.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine_interface/engine_api.h"

namespace kt {

// A fresh folder under /tmp whose path holds no '-', removed at destruction.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

enum class Engine { real, fake, none };

// A scratch folder with a copy of kovex and, beside it, the chosen engine and the ID3 tagger.
struct ProgramFolder {
    explicit ProgramFolder(Engine engine = Engine::real);
    ScratchDir dir;
    std::string program;  // full path of the copy
};

struct RunResult {
    int status = -1;      // exit status 0..255, or 128 + signal number
    bool signalled = false;
    int signal = 0;
    std::string out;
    std::string err;
};

// How a shell opens a file as standard output.
enum class Redirect {
    truncate,     // > file
    append,       // >> file
    read_write,   // 1<> file: neither truncated nor appended to
    after_bytes,  // { printf abc; kovex ...; } > file: the program writes after what the file holds
};

struct RunOptions {
    std::string cwd;                                        // default: the program's folder
    std::vector<std::pair<std::string, std::string>> env;  // added to a clean environment
    double timeout_seconds = 60;
    unsigned long address_space_limit = 0;                  // bytes; 0 for none
    bool as_unprivileged_user = false;                      // run as "nobody" when started as root
    int pipe_size = 0;                                      // bytes the output pipe holds; 0 for the default
    std::vector<int> closed_descriptors;                    // of 0, 1 and 2: closed when the program starts
    // Standard input is /dev/null unless one of these says what it is.
    std::optional<std::string> stdin_bytes;                 // a pipe that carries these bytes, then ends
    std::string stdin_file;                                 // this file, as `< file` opens it
    // Standard output is a pipe read into RunResult::out unless this names a file.
    std::string stdout_file;
    Redirect stdout_redirect = Redirect::truncate;          // how stdout_file is opened
};

// How every test starts a program: its arguments, a clean environment with the
// suite's sanitizer settings and the test's own, and its folder (default: the
// program's). Prepared before fork; exec_launch runs in the child.
struct Launch {
    std::string program;
    std::vector<std::string> args;
    std::vector<std::string> env_text;
    std::string cwd;
};
Launch prepare_launch(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::pair<std::string, std::string>>& env, const std::string& cwd);
[[noreturn]] void exec_launch(Launch& launch);

// A program started in a session of its own, its output and errors on pipes.
struct Spawned {
    int pid;
    int out;                 // read end of standard output
    int err;                 // read end of standard error
    int in = -1;             // write end of standard input when it is a pipe, fed by finish_program
    std::string in_bytes;    // what finish_program writes into it before closing it
};

Spawned spawn_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options = {});

// Feeds a spawned program's standard input pipe, reads its output and errors
// until it ends, and collects its status; kills it after `timeout_seconds`.
RunResult finish_program(const Spawned& spawned, double timeout_seconds = 60);

// Runs `program` with `args` in a new session (no controlling terminal).
RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options = {});

// Runs a command line through /bin/sh and returns its exit status.
int shell(const std::string& command);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);

// Little-endian WAV header fields, for fixtures.
struct WavFormat {
    uint16_t format_tag = 1;
    uint16_t channels = 2;
    uint32_t sample_rate = 44100;
    uint16_t bits_per_sample = 16;
};

WavFormat wav_format(uint16_t format_tag, uint16_t channels, uint32_t sample_rate, uint16_t bits_per_sample);
// 16-bit PCM at 44.1 kHz with `channels` channels.
WavFormat pcm_format(uint16_t channels);

// Samples whose value is their own index, so a test can see which reached the engine.
std::string counting_samples(uint32_t count);

// A canonical 44-byte header followed by `data`.
std::string wav_file(const WavFormat& format, const std::string& data);

// WAV files laid out as real tools write them, chunk by chunk.
// One chunk: its id, its body's length, the body and, after an odd body, the pad byte.
std::string riff_chunk(const std::string& id, const std::string& body);
// The same with a length field that says `stated_size` whatever the body holds.
std::string riff_chunk_stating(const std::string& id, uint32_t stated_size, const std::string& body);
// "RIFF", the size of what follows, "WAVE" and the chunks in their order.
std::string riff_wave(const std::vector<std::string>& chunks);

enum class FmtForm {
    plain,        // 16 bytes
    with_cb_size, // 18 bytes: cbSize 0 after the plain fields
    extensible,   // 40 bytes: tag 0xFFFE; the format's tag becomes the subformat GUID's first word
};
// The body of a `fmt ` chunk.
std::string fmt_body(const WavFormat& format, FmtForm form = FmtForm::plain);

// `frames` frames of music-like 16-bit sound (a few tones with harmonics and noise),
// interleaved for `channels`, as little-endian bytes.
std::string music_samples(uint32_t frames, uint16_t channels, uint32_t sample_rate,
                          uint32_t seed = 1);

// The 331 bytes of the engine record when no switch changed anything, written
// out from the record's layout rather than from the program's own defaults.
std::string default_record_bytes();
EngineConfig default_record();

// The 32-bit words in which two records differ, by byte offset, so a failure names the field.
std::string record_differences(const std::string& got, const std::string& want);

// The header of one MPEG audio frame.
struct FrameHeader {
    int version_id = 0;   // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    int layer = 0;        // 1 = Layer III
    bool crc = false;     // protection bit clear: CRC present
    int bitrate_kbps = 0;
    int sample_rate = 0;
    bool padding = false;
    bool private_bit = false;
    int channel_mode = 0; // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    bool copyright = false;
    bool original = false;
    int emphasis = 0;
    std::size_t offset = 0;
    std::size_t length = 0;
};

// Every frame of an MP3 file from its start, walking frame lengths.
std::vector<FrameHeader> mp3_frames(const std::string& bytes);

struct DecodedAudio {
    bool ok = false;
    int channels = 0;
    long rate = 0;
    std::vector<int16_t> samples;  // interleaved
};

// Decodes an MP3 file with libmpg123, gapless.
DecodedAudio decode_mp3(const std::string& path);

}  // namespace kt
