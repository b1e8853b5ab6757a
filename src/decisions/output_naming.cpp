#include "decisions/output_naming.h"

#include <cstring>

namespace {

constexpr char kExtension[] = ".mp3";
constexpr std::size_t kExtensionLength = sizeof kExtension - 1;

// Where ".mp3" goes: over a dot with four or three characters after it, else at
// the end. Only the last part of the path counts: a dot in a folder name is no
// extension, so "take.2/a" stays in its folder.
std::size_t extension_position(const char* name, std::size_t length) {
    const char* slash = std::strrchr(name, '/');
    const std::size_t base = slash == nullptr ? 0 : static_cast<std::size_t>(slash - name) + 1;
    if (length >= base + 5 && name[length - 5] == '.') return length - 5;
    if (length >= base + 4 && name[length - 4] == '.') return length - 4;
    return length;
}

// Standard output keeps its name.
bool keeps_its_name(const char* name) { return std::strcmp(name, kStandardStream) == 0; }

}  // namespace

std::size_t derived_output_length(const char* name) {
    if (keeps_its_name(name)) return std::strlen(name);
    return extension_position(name, std::strlen(name)) + kExtensionLength;
}

void derive_output_name(char (&output_name)[kNameCapacity + 1]) {
    if (keeps_its_name(output_name)) return;
    std::size_t position = extension_position(output_name, std::strlen(output_name));
    if (position + kExtensionLength > kNameCapacity) return;  // never past the field
    std::memcpy(output_name + position, kExtension, kExtensionLength + 1);
}
