#include "stages/run_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

#include "decisions/screen_texts.h"

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

bool open_input_file(const FileNames& names, RunFiles& files) {
    files.input = std::fopen(names.input_name, "rb");
    if (files.input == nullptr) {
        std::fprintf(stderr, " Could not find %s", names.input_name);
        return false;
    }
    return true;
}

uint64_t measure_input_size(std::FILE* input) {
    struct stat info;
    if (fstat(fileno(input), &info) == 0 && S_ISREG(info.st_mode)) return static_cast<uint64_t>(info.st_size);
    if (fseeko(input, 0, SEEK_END) != 0) return 0;
    off_t position = ftello(input);
    return position < 0 ? 0 : static_cast<uint64_t>(position);
}

bool output_spares_input(const FileNames& names, const RunFiles& files) {
    // Two names can lead to one file; opening it for writing would truncate the input unread.
    struct stat input_info;
    struct stat output_info;
    if (fstat(fileno(files.input), &input_info) == 0 && stat(names.output_name, &output_info) == 0 &&
        input_info.st_dev == output_info.st_dev && input_info.st_ino == output_info.st_ino) {
        std::fprintf(stderr, " Output file would overwrite the input file %s", names.output_name);
        return false;
    }
    return true;
}

bool open_output_file(const FileNames& names, RunFiles& files) {
    // Not truncated on opening: another run may be writing this file.
    int descriptor = open(names.output_name, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    struct stat info;
    if (descriptor < 0 || fstat(descriptor, &info) != 0) {
        if (descriptor >= 0) close(descriptor);
        std::fprintf(stderr, " Error creating file %s", names.output_name);
        return false;
    }
    files.output_is_regular = S_ISREG(info.st_mode);
    files.output_lock = -1;
    if (files.output_is_regular) {
        // flock, not fcntl locks: those would end when the engine closes its
        // own descriptor of the file after writing the VBR header.
        if (flock(descriptor, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            close(descriptor);
            std::fprintf(stderr, "  Output file is in use by another run: %s\n", names.output_name);
            return false;
        }
        if (ftruncate(descriptor, 0) != 0) {
            close(descriptor);
            std::fprintf(stderr, " Error creating file %s", names.output_name);
            return false;
        }
        // A second descriptor of the same open file keeps the lock once the stream is closed.
        files.output_lock = dup(descriptor);
    }
    files.output = fdopen(descriptor, "wb+");
    if (files.output == nullptr) {
        close(descriptor);
        std::fprintf(stderr, " Error creating file %s", names.output_name);
        return false;
    }
    return true;
}

bool close_run_files(RunFiles& files) {
    std::fclose(files.input);
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
