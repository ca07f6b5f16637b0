// The reader's reason for every refused file but one with non-finite samples.
#pragma once

inline constexpr const char *GENERIC_REASON =
    "not a supported 16/24/32-bit integer or 32/64-bit float PCM WAV file";
