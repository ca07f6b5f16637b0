#include "wav/wav_internal.hpp"

bool wav_parse_format(const unsigned char *body, uint32_t size, WavFormat *fmt) {
    if (size < 16) return false; // too short for the basic fields
    uint16_t tag = le16(body);
    bool is_float;
    bool extensible = false;
    uint32_t mask = 0;
    if (tag == 0xFFFE && size >= 26) {
        uint16_t sub = le16(body + 24);
        if (sub != 1 && sub != 3) return false; // expecting integer or float sub-format
        is_float = sub == 3;
        extensible = true;
        mask = le32(body + 20);
    } else {
        if (tag != 1 && tag != 3) return false; // expecting PCM (1) or IEEE float (3)
        is_float = tag == 3;
    }
    fmt->seen = true;
    fmt->is_float = is_float;
    fmt->extensible = extensible;
    fmt->channel_mask = mask;
    fmt->channels = le16(body + 2);
    fmt->sample_rate = le32(body + 4);
    fmt->bits = le16(body + 14);
    return true;
}

uint64_t wav_frame_size(const WavFormat &fmt) {
    const bool width_ok = fmt.is_float ? fmt.bits == 32 || fmt.bits == 64
                                       : fmt.bits == 16 || fmt.bits == 24 || fmt.bits == 32;
    if (!width_ok || fmt.channels == 0 || fmt.sample_rate == 0) return 0;
    return static_cast<uint64_t>(fmt.bits / 8) * fmt.channels;
}
