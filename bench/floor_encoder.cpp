// floor_encoder IN.wav OUT.mp3 CHANNELS (cbr KBPS | vbr QUALITY)
//
// The floor for kovex's speed: libmp3lame driven directly, with what the
// engine does on a default run and nothing else. The samples are read from
// byte 44, one MP3 frame per call (1152 samples a channel); each call's bytes
// are written at once; then the flush, and the LAME tag over the first frame.
// Joint stereo for two channels, mono for one; the library's default quality;
// VBR is LAME's default VBR mode with the minimum 32 and maximum 256 kbps.
#include <lame/lame.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr long kFirstSampleOffset = 44;
constexpr int kFrameSamples = 1152;

void be_silent(const char*, va_list) {}

int fail(const char* what) {
    std::fprintf(stderr, "floor_encoder: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s IN.wav OUT.mp3 CHANNELS (cbr KBPS | vbr QUALITY)\n", argv[0]);
        return 2;
    }
    const int channels = std::atoi(argv[3]);
    const bool vbr = std::strcmp(argv[4], "vbr") == 0;
    const int value = std::atoi(argv[5]);
    if ((channels != 1 && channels != 2) || (!vbr && std::strcmp(argv[4], "cbr") != 0))
        return fail("bad arguments");

    std::FILE* in = std::fopen(argv[1], "rb");
    if (in == nullptr) return fail("cannot open the input");
    std::FILE* out = std::fopen(argv[2], "wb+");
    if (out == nullptr) return fail("cannot create the output");

    lame_t lame = lame_init();
    if (lame == nullptr) return fail("lame_init failed");
    lame_set_errorf(lame, be_silent);
    lame_set_debugf(lame, be_silent);
    lame_set_msgf(lame, be_silent);
    lame_set_write_id3tag_automatic(lame, 0);
    lame_set_bWriteVbrTag(lame, 1);
    lame_set_in_samplerate(lame, 44100);
    lame_set_out_samplerate(lame, 44100);
    lame_set_num_channels(lame, channels);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    if (vbr) {
        lame_set_VBR(lame, vbr_mtrh);
        lame_set_VBR_q(lame, value);
        lame_set_VBR_min_bitrate_kbps(lame, 32);
        lame_set_VBR_max_bitrate_kbps(lame, 256);
    } else {
        lame_set_brate(lame, value);
    }
    if (lame_init_params(lame) < 0) return fail("lame_init_params refused the settings");

    static short pcm[kFrameSamples * 2];
    static unsigned char mp3[LAME_MAXMP3BUFFER];
    const std::size_t chunk = static_cast<std::size_t>(kFrameSamples) * channels;
    std::fseek(in, kFirstSampleOffset, SEEK_SET);
    for (;;) {
        const std::size_t got = std::fread(pcm, 2, chunk, in);
        if (got == 0) break;
        const int frames = static_cast<int>(got / channels);
        const int produced = channels == 1
                                 ? lame_encode_buffer(lame, pcm, pcm, frames, mp3, sizeof mp3)
                                 : lame_encode_buffer_interleaved(lame, pcm, frames, mp3, sizeof mp3);
        if (produced < 0) return fail("encoding failed");
        if (std::fwrite(mp3, 1, static_cast<std::size_t>(produced), out) != static_cast<std::size_t>(produced))
            return fail("write failed");
    }
    const int flushed = lame_encode_flush(lame, mp3, sizeof mp3);
    if (flushed < 0) return fail("flush failed");
    if (std::fwrite(mp3, 1, static_cast<std::size_t>(flushed), out) != static_cast<std::size_t>(flushed))
        return fail("write failed");

    const std::size_t tag = lame_get_lametag_frame(lame, mp3, sizeof mp3);
    if (tag > 0 && tag <= sizeof mp3) {
        std::fseek(out, 0, SEEK_SET);
        if (std::fwrite(mp3, 1, tag, out) != tag) return fail("tag write failed");
    }
    lame_close(lame);
    std::fclose(in);
    return std::fclose(out) == 0 ? 0 : fail("closing the output failed");
}
