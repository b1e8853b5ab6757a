#include "frontend/run_files.h"

#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <unistd.h>

void program_path(const char* fallback, char (&path)[PATH_MAX]) {
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length > 0) {
        path[length] = '\0';
    } else {
        std::snprintf(path, sizeof path, "%s", fallback);
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
    resources.output_file = std::fopen(names.output_name, "wb+");
    if (resources.output_file == nullptr) {
        std::fprintf(stderr, " Error creating file %s", names.output_name);
        return false;
    }
    return true;
}
