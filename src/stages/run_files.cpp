#include "stages/run_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "decisions/screen_texts.h"
#include "decisions/wav_header.h"

namespace {

bool is_standard_stream(const char* name) { return std::strcmp(name, kStandardStream) == 0; }

bool same_file(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

void program_path(const char* fallback, char (&path)[PATH_MAX]) {
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length > 0) {
        path[length] = '\0';
    } else {
        std::snprintf(path, sizeof path, "%s", fallback);
    }
}

void ensure_standard_descriptors() {
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free descriptor is the one that is closed.
        int opened = open("/dev/null", O_RDWR);
        if (opened >= 0 && opened != descriptor) {
            dup2(opened, descriptor);
            close(opened);
        }
    }
}

void give_standard_output_to_the_mp3(RunFiles& files) {
    std::fflush(stdout);
    files.mp3_standard_output = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    // Unbuffered like standard error, so that both keep their order there.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}

bool open_input_file(const FileNames& names, RunFiles& files) {
    files.input = is_standard_stream(names.input_name) ? stdin : std::fopen(names.input_name, "rb");
    if (files.input == nullptr) {
        std::fprintf(stderr, " Could not find %s", names.input_name);
        return false;
    }
    return true;
}

uint64_t measure_input_size(std::FILE* input) {
    struct stat info;
    if (fstat(fileno(input), &info) == 0 && S_ISREG(info.st_mode)) return static_cast<uint64_t>(info.st_size);
    if (fseeko(input, 0, SEEK_END) != 0) return kUnknownSize;
    off_t position = ftello(input);
    return position < 0 ? kUnknownSize : static_cast<uint64_t>(position);
}

bool output_spares_input(const FileNames& names, const RunFiles& files) {
    // Two names can lead to one file; opening it for writing would truncate the input unread.
    struct stat input_info;
    struct stat output_info;
    bool output_known = is_standard_stream(names.output_name) ? fstat(files.mp3_standard_output, &output_info) == 0
                                                                : stat(names.output_name, &output_info) == 0;
    if (fstat(fileno(files.input), &input_info) == 0 && output_known && same_file(input_info, output_info)) {
        std::fprintf(stderr, " Output file would overwrite the input file %s", names.output_name);
        return false;
    }
    return true;
}

bool open_output_file(const FileNames& names, RunFiles& files) {
    const bool standard_output = is_standard_stream(names.output_name);
    // Not truncated on opening: another run may be writing this file.
    int descriptor = standard_output ? files.mp3_standard_output
                                     : open(names.output_name, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    struct stat info;
    if (descriptor < 0 || fstat(descriptor, &info) != 0) {
        if (descriptor >= 0) close(descriptor);
        std::fprintf(stderr, " Error creating file %s", names.output_name);
        return false;
    }
    // Standard output redirected to a file holds a whole MP3 only when it begins
    // there: not after what the file held (">>" onto a file that is not empty).
    const bool appending = (fcntl(descriptor, F_GETFL) & O_APPEND) != 0 && info.st_size != 0;
    files.output_rewritable = S_ISREG(info.st_mode) &&
                              (!standard_output || (lseek(descriptor, 0, SEEK_CUR) == 0 && !appending));
    files.output_lock = -1;
    if (files.output_rewritable) {
        // flock, not fcntl locks: those would end when the engine closes its
        // own descriptor of the file after writing the VBR header.
        if (flock(descriptor, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            close(descriptor);
            std::fprintf(stderr, "  Output file is in use by another run: %s\n", names.output_name);
            return false;
        }
        // The shell has truncated a redirected standard output already.
        if (!standard_output && ftruncate(descriptor, 0) != 0) {
            close(descriptor);
            std::fprintf(stderr, " Error creating file %s", names.output_name);
            return false;
        }
        // A second descriptor of the same open file keeps the lock once the stream is closed.
        files.output_lock = fcntl(descriptor, F_DUPFD_CLOEXEC, 3);
    }
    if (!standard_output) {
        std::snprintf(files.output_path, sizeof files.output_path, "%s", names.output_name);
    } else if (files.output_rewritable) {
        std::snprintf(files.output_path, sizeof files.output_path, "/proc/self/fd/%d", files.output_lock);
    }
    files.output = fdopen(descriptor, standard_output ? "wb" : "wb+");
    if (files.output == nullptr) {
        close(descriptor);
        std::fprintf(stderr, " Error creating file %s", names.output_name);
        return false;
    }
    return true;
}

bool close_run_files(RunFiles& files) {
    // Standard input was not opened here, so it is not closed here either.
    if (files.input != stdin) std::fclose(files.input);
    files.input = nullptr;
    // Writes are buffered, so a full disk may show only here; such a file is not complete.
    bool output_complete = std::fflush(files.output) == 0;
    output_complete = std::fclose(files.output) == 0 && output_complete;
    files.output = nullptr;
    if (!output_complete) std::fputs(kOutputWriteError, stderr);
    return output_complete;
}

void release_output_lock(RunFiles& files) {
    if (files.output_lock >= 0) close(files.output_lock);
    files.output_lock = -1;
}
