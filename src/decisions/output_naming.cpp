#include <cstring>

#include "decisions/output_naming.h"

namespace {

constexpr char kExtension[] = ".mp3";
constexpr std::size_t kExtensionLength = sizeof kExtension - 1;

// Where ".mp3" goes: over a dot with four or three characters after it, else at the end.
std::size_t extension_position(const char* name, std::size_t length) {
    if (length >= 5 && name[length - 5] == '.') return length - 5;
    if (length >= 4 && name[length - 4] == '.') return length - 4;
    return length;
}

}  // namespace

std::size_t derived_output_length(const char* name) {
    return extension_position(name, std::strlen(name)) + kExtensionLength;
}

void derive_output_name(char (&output_name)[kNameCapacity + 1]) {
    std::size_t position = extension_position(output_name, std::strlen(output_name));
    if (position + kExtensionLength > kNameCapacity) return;  // never past the field
    std::memcpy(output_name + position, kExtension, kExtensionLength + 1);
}
