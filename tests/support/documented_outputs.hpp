// Documented worked examples of the stdout formats and the reader's generic
// failure reason, typed out byte for byte.
#pragma once

inline constexpr const char *GENERIC_REASON =
    "not a supported 16/24/32-bit integer or 32/64-bit float PCM WAV file";

// Two-second stereo 48000 Hz file "in.wav", ch0 = 0.5 x 1000 Hz + 0.25 x 1100 Hz,
// ch1 silent, queried at 1 s with defaults.
inline constexpr const char *JSON_EXAMPLE =
    "{\n"
    "    \"input_file\": \"in.wav\",\n"
    "    \"sample_rate\": 48000,\n"
    "    \"channels\": 2,\n"
    "    \"query_time_s\": 1.000000,\n"
    "    \"query_sample\": 48000,\n"
    "    \"window_samples\": 4096,\n"
    "    \"window_duration_ms\": 85.333333,\n"
    "    \"resolution_hz\": 11.718750,\n"
    "    \"min_separation_hz\": 46.875000,\n"
    "    \"noise_floor_db\": -80.000000,\n"
    "    \"results\": [\n"
    "        {\n"
    "            \"channel\": 0,\n"
    "            \"dominant_peak\": { \"frequency_hz\": 999.9992, \"level_db\": -6.0235 },\n"
    "            \"top_peaks\": [\n"
    "                { \"rank\": 1, \"frequency_hz\": 999.9992, \"level_db\": -6.0235 },\n"
    "                { \"rank\": 2, \"frequency_hz\": 1099.9956, \"level_db\": -12.0503 }\n"
    "            ]\n"
    "        },\n"
    "        {\n"
    "            \"channel\": 1,\n"
    "            \"dominant_peak\": null,\n"
    "            \"top_peaks\": [\n"
    "            ]\n"
    "        }\n"
    "    ]\n"
    "}\n";

// Stereo 44100 Hz, --at 1.5, two peaks in channel 0 and none in channel 1.
inline constexpr const char *TEXT_EXAMPLE =
    "\n"
    "query time     1.500s (sample 66,150 @ 44100Hz)\n"
    "window         4096 samples (92.9ms, resolution 10.8Hz/bin)\n"
    "\n"
    "channel 0:\n"
    "  dominant peak  440.0 Hz  @  -6.0 dB\n"
    "\n"
    "  top 2 peaks:\n"
    "    1.  440.0 Hz    -6.0 dB\n"
    "    2.  880.0 Hz    -12.0 dB\n"
    "\n"
    "channel 1:\n"
    "  no peaks above the noise floor in this window\n"
    "\n";
