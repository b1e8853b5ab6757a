#include "frontend/run_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

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

bool open_input_file(const FileNames& names, RunResources& resources) {
    resources.input_file = std::fopen(names.input_name, "rb");
    if (resources.input_file == nullptr) {
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

bool output_spares_input(const FileNames& names, const RunResources& resources) {
    // Two names can lead to one file; opening it for writing would truncate the input unread.
    struct stat input_info;
    struct stat output_info;
    if (fstat(fileno(resources.input_file), &input_info) == 0 && stat(names.output_name, &output_info) == 0 &&
        input_info.st_dev == output_info.st_dev && input_info.st_ino == output_info.st_ino) {
        std::fprintf(stderr, " Output file would overwrite the input file %s", names.output_name);
        return false;
    }
    return true;
}

bool open_output_file(const FileNames& names, RunResources& resources) {
    // Not truncated on opening: another run may be writing this file.
    int descriptor = open(names.output_name, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    struct stat info;
    if (descriptor < 0 || fstat(descriptor, &info) != 0) {
        if (descriptor >= 0) close(descriptor);
        std::fprintf(stderr, " Error creating file %s", names.output_name);
        return false;
    }
    resources.output_is_regular = S_ISREG(info.st_mode);
    resources.output_lock = -1;
    if (resources.output_is_regular) {
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
        resources.output_lock = dup(descriptor);
    }
    resources.output_file = fdopen(descriptor, "wb+");
    if (resources.output_file == nullptr) {
        close(descriptor);
        std::fprintf(stderr, " Error creating file %s", names.output_name);
        return false;
    }
    return true;
}

void release_output_lock(RunResources& resources) {
    if (resources.output_lock >= 0) close(resources.output_lock);
    resources.output_lock = -1;
}
