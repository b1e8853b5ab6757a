// make_music_wav OUT.wav SECONDS [CHANNELS] [RATE]: writes music-like sound of our own.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "music_wav.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUT.wav SECONDS [CHANNELS] [RATE]\n", argv[0]);
        return 2;
    }
    const double seconds = std::atof(argv[2]);
    const auto channels = static_cast<uint16_t>(argc > 3 ? std::atoi(argv[3]) : 2);
    const auto rate = static_cast<uint32_t>(argc > 4 ? std::atol(argv[4]) : 44100);
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr || channels < 1 || channels > 2 || seconds < 0) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    const auto frames = static_cast<uint32_t>(seconds * rate);
    const std::string header = wav_header(1, channels, rate, 16, frames * channels * 2u);
    std::fwrite(header.data(), 1, header.size(), out);
    // Written a second at a time, so a long file needs little memory.
    for (uint32_t done = 0; done < frames; done += rate) {
        const uint32_t part = frames - done < rate ? frames - done : rate;
        // The seed changes every second, so the noise does not repeat.
        const std::string samples = music_samples(part, channels, rate, done / rate + 1);
        std::fwrite(samples.data(), 1, samples.size(), out);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
