#include "support/test_support.h"

#include "music_wav.h"

#include <fcntl.h>
#include <mpg123.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace kt {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    // mkdtemp fills the X's with letters and digits only, so the path holds no '-'.
    char pattern[] = "/tmp/kovextestXXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    // Give back write permission to anything a test locked, so it can be removed.
    for (auto it = fs::recursive_directory_iterator(path_, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (!it->is_symlink(ignored)) chmod(it->path().c_str(), 0700);
    }
    fs::remove_all(path_, ignored);
}

ProgramFolder::ProgramFolder(Engine engine) {
    program = dir.file("kovex");
    fs::copy_file(KOVEX_PROGRAM, program);
    if (engine == Engine::real) fs::copy_file(KOVEX_REAL_ENGINE, dir.file("lame_enc.dll"));
    if (engine == Engine::fake) fs::copy_file(KOVEX_FAKE_ENGINE, dir.file("lame_enc.dll"));
    // The ID3 tagger goes with the program, as it is installed.
    fs::copy_file(KOVEX_ID3_TAGGER, dir.file("kovex_id3.so"));
}

static void drain(int fd, std::string& into, bool& open) {
    char buffer[65536];
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got > 0) {
        into.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
        open = false;
    }
}

Launch prepare_launch(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::pair<std::string, std::string>>& env, const std::string& cwd) {
    Launch launch;
    launch.program = program;
    launch.env_text = {"PATH=/usr/bin:/bin"};
    for (char** entry = environ; *entry != nullptr; ++entry) {
        // Sanitizer settings of the suite reach the program too, unless the test sets its own.
        std::string text = *entry;
        std::string name = text.substr(0, text.find('='));
        bool sanitizer_setting = name.rfind("ASAN_", 0) == 0 || name.rfind("UBSAN_", 0) == 0 ||
                                 name.rfind("LSAN_", 0) == 0;
        bool overridden = false;
        for (const auto& chosen : env) overridden = overridden || chosen.first == name;
        if (sanitizer_setting && !overridden) launch.env_text.push_back(text);
    }
    for (const auto& [name, value] : env) launch.env_text.push_back(name + "=" + value);
    launch.args = args;
    launch.cwd = cwd.empty() ? fs::path(program).parent_path().string() : cwd;
    return launch;
}

void exec_launch(Launch& launch) {
    std::vector<char*> argv{launch.program.data()};
    for (auto& arg : launch.args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& entry : launch.env_text) envp.push_back(entry.data());
    envp.push_back(nullptr);
    if (chdir(launch.cwd.c_str()) != 0) _exit(126);
    execve(launch.program.c_str(), argv.data(), envp.data());
    _exit(127);
}

// Standard output on a file, opened as a shell's redirect opens it.
static int open_redirect(const std::string& path, Redirect redirect) {
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
    if (redirect == Redirect::truncate) flags |= O_TRUNC;
    if (redirect == Redirect::append) flags |= O_APPEND;
    if (redirect == Redirect::read_write) flags = O_RDWR | O_CREAT | O_CLOEXEC;
    int fd = open(path.c_str(), flags, 0666);
    if (fd < 0) throw std::runtime_error("cannot open " + path);
    if (redirect == Redirect::after_bytes) lseek(fd, 0, SEEK_END);
    return fd;
}

Spawned spawn_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options) {
    int out_pipe[2];
    int err_pipe[2];
    int in_pipe[2] = {-1, -1};
    if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (options.stdin_bytes && pipe2(in_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (options.pipe_size != 0) fcntl(out_pipe[1], F_SETPIPE_SZ, options.pipe_size);
    const int in_fd = options.stdin_bytes    ? in_pipe[0]
                      : !options.stdin_file.empty() ? open(options.stdin_file.c_str(), O_RDONLY | O_CLOEXEC)
                                                    : open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (in_fd < 0) throw std::runtime_error("cannot open standard input");
    const int out_fd = options.stdout_file.empty() ? out_pipe[1] : open_redirect(options.stdout_file, options.stdout_redirect);

    Launch launch = prepare_launch(program, args, options.env, options.cwd);

    pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        setsid();
        // dup2 clears close-on-exec on the three; every other descriptor goes at exec,
        // so one closed below is truly closed.
        dup2(in_fd, 0);
        dup2(out_fd, 1);
        dup2(err_pipe[1], 2);
        for (int fd : options.closed_descriptors) close(fd);
        if (options.as_unprivileged_user && geteuid() == 0) {
            // Permission bits bind only an ordinary user; root reads everything.
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(125);
        }
        if (options.address_space_limit != 0) {
            rlimit limit{options.address_space_limit, options.address_space_limit};
            setrlimit(RLIMIT_AS, &limit);
        }
        exec_launch(launch);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);
    close(in_fd);
    if (out_fd != out_pipe[1]) close(out_fd);
    Spawned spawned{child, out_pipe[0], err_pipe[0], -1, {}};
    if (options.stdin_bytes) {
        // Written as the program reads, never blocking the reading of its output.
        fcntl(in_pipe[1], F_SETFL, O_NONBLOCK);
        spawned.in = in_pipe[1];
        spawned.in_bytes = *options.stdin_bytes;
    }
    return spawned;
}

RunResult finish_program(const Spawned& spawned, double timeout_seconds) {
    pid_t child = spawned.pid;
    int out_fd = spawned.out;
    int err_fd = spawned.err;

    RunResult result;
    bool out_open = true;
    bool err_open = true;
    int in_fd = spawned.in;
    std::size_t fed = 0;
    // A program that stops reading its input must not end the test with SIGPIPE:
    // held back while feeding, and taken away unhandled afterwards.
    sigset_t pipe_signal;
    sigset_t previous_mask;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    if (in_fd >= 0) sigprocmask(SIG_BLOCK, &pipe_signal, &previous_mask);
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::milliseconds(static_cast<long>(timeout_seconds * 1000));
    bool killed = false;
    while (out_open || err_open) {
        if (in_fd >= 0 && fed == spawned.in_bytes.size()) {
            close(in_fd);
            in_fd = -1;
        }
        pollfd fds[3] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}, {in_fd, POLLOUT, 0}};
        poll(fds, in_fd >= 0 ? 3 : 2, 100);
        if (out_open && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) drain(out_fd, result.out, out_open);
        if (err_open && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) drain(err_fd, result.err, err_open);
        if (in_fd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t wrote = write(in_fd, spawned.in_bytes.data() + fed, spawned.in_bytes.size() - fed);
            if (wrote > 0) {
                fed += static_cast<std::size_t>(wrote);
            } else if (errno != EAGAIN && errno != EINTR) {
                close(in_fd);  // the program closed its end
                in_fd = -1;
            }
        }
        if (!killed && std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            killed = true;
        }
    }
    if (in_fd >= 0) close(in_fd);
    if (spawned.in >= 0) {
        const timespec no_wait{0, 0};
        while (sigtimedwait(&pipe_signal, nullptr, &no_wait) == SIGPIPE) {
        }
        sigprocmask(SIG_SETMASK, &previous_mask, nullptr);
    }
    close(out_fd);
    close(err_fd);
    int wait_status = 0;
    waitpid(child, &wait_status, 0);
    if (WIFEXITED(wait_status)) {
        result.status = WEXITSTATUS(wait_status);
    } else if (WIFSIGNALED(wait_status)) {
        result.signalled = true;
        result.signal = WTERMSIG(wait_status);
        result.status = 128 + result.signal;
    }
    return result;
}

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options) {
    return finish_program(spawn_program(program, args, options), options.timeout_seconds);
}

int shell(const std::string& command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool file_exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

std::string wav_file(const WavFormat& format, const std::string& data) {
    return wav_header(format.format_tag, format.channels, format.sample_rate, format.bits_per_sample,
                      static_cast<uint32_t>(data.size())) +
           data;
}

static std::string little_endian(uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

std::string riff_chunk_stating(const std::string& id, uint32_t stated_size, const std::string& body) {
    std::string chunk = id + little_endian(stated_size, 4) + body;
    if (body.size() % 2 != 0) chunk.push_back('\0');
    return chunk;
}

std::string riff_chunk(const std::string& id, const std::string& body) {
    return riff_chunk_stating(id, static_cast<uint32_t>(body.size()), body);
}

std::string riff_wave(const std::vector<std::string>& chunks) {
    std::string form = "WAVE";
    for (const std::string& chunk : chunks) form += chunk;
    return "RIFF" + little_endian(static_cast<uint32_t>(form.size()), 4) + form;
}

std::string fmt_body(const WavFormat& format, FmtForm form) {
    // The 16 plain fields as the canonical header holds them, bytes 20 to 35.
    std::string body = wav_header(format.format_tag, format.channels, format.sample_rate,
                                  format.bits_per_sample, 0)
                           .substr(20, 16);
    if (form == FmtForm::with_cb_size) body += little_endian(0, 2);
    if (form == FmtForm::extensible) {
        body.replace(0, 2, little_endian(0xFFFE, 2));
        // Mono on the centre speaker, else the first speaker positions in their order (3: left and right).
        const uint32_t speakers = format.channels == 1 ? 0x4u : format.channels <= 18 ? (1u << format.channels) - 1 : 0u;
        body += little_endian(22, 2) + little_endian(format.bits_per_sample, 2) + little_endian(speakers, 4);
        // KSDATAFORMAT_SUBTYPE_*: the old format tag, then a fixed tail.
        body += little_endian(format.format_tag, 2) +
                std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    }
    return body;
}

WavFormat wav_format(uint16_t format_tag, uint16_t channels, uint32_t sample_rate, uint16_t bits_per_sample) {
    WavFormat format;
    format.format_tag = format_tag;
    format.channels = channels;
    format.sample_rate = sample_rate;
    format.bits_per_sample = bits_per_sample;
    return format;
}

WavFormat pcm_format(uint16_t channels) { return wav_format(1, channels, 44100, 16); }

std::string counting_samples(uint32_t count) {
    std::string data;
    for (uint32_t i = 0; i < count; ++i) {
        data.push_back(static_cast<char>(i & 0xFF));
        data.push_back(static_cast<char>((i >> 8) & 0x7F));
    }
    return data;
}

std::string music_samples(uint32_t frames, uint16_t channels, uint32_t sample_rate, uint32_t seed) {
    return ::music_samples(frames, channels, sample_rate, seed);
}

std::string default_record_bytes() {
    const unsigned char rows[96] = {
        0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x4B, 0x01, 0x00, 0x00, 0x44, 0xAC, 0x00, 0x00,
        0x44, 0xAC, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    };
    std::string bytes(reinterpret_cast<const char*>(rows), sizeof rows);
    return bytes + std::string(331 - sizeof rows, '\0');
}

EngineConfig default_record() {
    const std::string bytes = default_record_bytes();
    EngineConfig config;
    std::memcpy(&config, bytes.data(), sizeof config);
    return config;
}

std::string record_differences(const std::string& got, const std::string& want) {
    if (got.size() != want.size()) return "record of " + std::to_string(got.size()) + " bytes";
    std::string out;
    for (std::size_t offset = 0; offset < got.size(); offset += 4) {
        std::size_t width = std::min<std::size_t>(4, got.size() - offset);
        if (got.compare(offset, width, want, offset, width) == 0) continue;
        auto word = [&](const std::string& bytes) {
            uint32_t value = 0;
            for (std::size_t i = 0; i < width; ++i) value |= uint32_t{static_cast<uint8_t>(bytes[offset + i])} << 8 * i;
            return std::to_string(value);
        };
        out += " byte " + std::to_string(offset) + ": got " + word(got) + ", want " + word(want) + ";";
    }
    return out;
}

std::vector<FrameHeader> mp3_frames(const std::string& bytes) {
    static const int kBitratesV1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static const int kBitratesV2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    static const int kRatesV1[4] = {44100, 48000, 32000, 0};
    std::vector<FrameHeader> frames;
    std::size_t offset = 0;
    while (offset + 4 <= bytes.size()) {
        auto b = [&](std::size_t i) { return static_cast<uint8_t>(bytes[offset + i]); };
        if (b(0) != 0xFF || (b(1) & 0xE0) != 0xE0) break;
        FrameHeader h;
        h.offset = offset;
        h.version_id = (b(1) >> 3) & 3;
        h.layer = (b(1) >> 1) & 3;
        h.crc = (b(1) & 1) == 0;
        int bitrate_index = b(2) >> 4;
        int rate_index = (b(2) >> 2) & 3;
        h.padding = (b(2) >> 1) & 1;
        h.private_bit = b(2) & 1;
        h.channel_mode = b(3) >> 6;
        h.copyright = (b(3) >> 3) & 1;
        h.original = (b(3) >> 2) & 1;
        h.emphasis = b(3) & 3;
        if (h.version_id == 1 || h.layer != 1 || rate_index == 3) break;
        h.bitrate_kbps = h.version_id == 3 ? kBitratesV1[bitrate_index] : kBitratesV2[bitrate_index];
        int divisor = h.version_id == 3 ? 1 : (h.version_id == 2 ? 2 : 4);
        h.sample_rate = kRatesV1[rate_index] / divisor;
        if (h.bitrate_kbps == 0) break;
        int coefficient = h.version_id == 3 ? 144 : 72;
        h.length = static_cast<std::size_t>(coefficient * h.bitrate_kbps * 1000 / h.sample_rate +
                                             (h.padding ? 1 : 0));
        frames.push_back(h);
        offset += h.length;
    }
    return frames;
}

DecodedAudio decode_mp3(const std::string& path) {
    static bool initialised = (mpg123_init() == MPG123_OK);
    DecodedAudio audio;
    if (!initialised) return audio;
    int error = 0;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (handle == nullptr) return audio;
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    mpg123_format_none(handle);
    const long* rates = nullptr;
    std::size_t rate_count = 0;
    mpg123_rates(&rates, &rate_count);
    for (std::size_t i = 0; i < rate_count; ++i)
        mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open(handle, path.c_str()) != MPG123_OK) {
        mpg123_delete(handle);
        return audio;
    }
    int encoding = 0;
    if (mpg123_getformat(handle, &audio.rate, &audio.channels, &encoding) != MPG123_OK) {
        mpg123_delete(handle);
        return audio;
    }
    unsigned char buffer[32768];
    for (;;) {
        std::size_t done = 0;
        int result = mpg123_read(handle, buffer, sizeof buffer, &done);
        const int16_t* values = reinterpret_cast<const int16_t*>(buffer);
        audio.samples.insert(audio.samples.end(), values, values + done / 2);
        if (result == MPG123_DONE) {
            audio.ok = true;
            break;
        }
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
    }
    mpg123_close(handle);
    mpg123_delete(handle);
    return audio;
}

}  // namespace kt
