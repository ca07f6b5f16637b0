#!/usr/bin/env python3
"""The scan's job as a user would script it with numpy and scipy, to time
against: a window of N frames around each point, the weights, a real FFT,
levels in dB, peaks at least 4 bins apart above the floor, the strongest
TOP of them placed by a parabola through their bin and its neighbours.
Prints CSV rows as the scan's --csv does.

peer_numpy.py FILE EVERY [N] [TOP]
"""
import sys

import numpy as np
from scipy.io import wavfile
from scipy.signal import find_peaks


def main():
    path, every = sys.argv[1], float(sys.argv[2])
    n = int(sys.argv[3]) if len(sys.argv) > 3 else 4096
    top = int(sys.argv[4]) if len(sys.argv) > 4 else 5
    try:
        rate, data = wavfile.read(path, mmap=True)
    except ValueError:  # 24-bit data can't be mapped; read as 32-bit words
        rate, data = wavfile.read(path)
    if data.ndim == 1:
        data = data[:, None]
    scale = {np.int16: 32767.0, np.int32: 2147483647.0}.get(data.dtype.type, 1.0)
    weights = (1.0 - np.cos(2.0 * np.pi * (np.arange(n) + 1) / (n - 1))) * 0.5
    out = sys.stdout
    out.write("time_s,sample,channel,rank,frequency_hz,level_db\n")
    k = 0
    while True:
        t = k * every
        s = int(round(t * rate))
        if s >= len(data):
            break
        lo, hi = s - n // 2, s + n // 2
        frame = np.zeros((n, data.shape[1]))
        a, b = max(lo, 0), min(hi, len(data))
        frame[a - lo : b - lo] = data[a:b] / scale
        spectra = np.abs(np.fft.rfft(frame * weights[:, None], axis=0))[: n // 2] * (4.0 / n)
        with np.errstate(divide="ignore"):
            levels = np.maximum(20.0 * np.log10(spectra), -80.0)
        for c in range(data.shape[1]):
            lv = levels[:, c]
            peaks, _ = find_peaks(lv, height=-80.0, distance=4)
            peaks = peaks[np.argsort(lv[peaks])[::-1][:top]]
            for rank, p in enumerate(peaks, 1):
                y0, y1, y2 = lv[p - 1], lv[p], lv[p + 1] if p + 1 < len(lv) else lv[p]
                d = y0 - 2 * y1 + y2
                shift = 0.5 * (y0 - y2) / d if d != 0 else 0.0
                out.write(f"{t:.6f},{s},{c},{rank},{(p + shift) * rate / n:.4f},{y1 - 0.25 * (y0 - y2) * shift:.4f}\n")
        k += 1


main()
