#!/usr/bin/env python3
"""Finds the drum onsets in a recording of the start-up loop and compares them
with the ideal grid: prints the effective tempo and each onset's distance from
the grid, per instrument (kick and snare alternate every half second at 120 BPM).

    onsets.py REC.wav [BPM]
"""
import sys
import wave
import struct


def read_mono(path):
    with wave.open(path) as w:
        rate, channels, width = w.getframerate(), w.getnchannels(), w.getsampwidth()
        frames = w.readframes(w.getnframes())
    assert width == 2, "16-bit WAV expected"
    samples = struct.unpack("<%dh" % (len(frames) // 2), frames)
    left = samples[::channels]
    return rate, [s / 32768.0 for s in left]


def onsets(signal, threshold=0.02, quiet=0.004, gap=2000):
    found, last_loud = [], -gap
    for i, x in enumerate(signal):
        if abs(x) > threshold:
            if i - last_loud >= gap and all(abs(v) < quiet for v in signal[max(0, i - 400):i - 40]):
                found.append(i)
            last_loud = i
    return found


def main():
    rate, signal = read_mono(sys.argv[1])
    bpm = float(sys.argv[2]) if len(sys.argv) > 2 else 120.0
    step = rate * 60.0 / bpm  # one beat: the start-up loop sounds on every beat
    found = onsets(signal)
    if len(found) < 4:
        sys.exit("too few onsets: %d" % len(found))
    n = len(found)
    # Least-squares line through (index, onset): its slope is the beat length.
    mean_k, mean_t = (n - 1) / 2.0, sum(found) / n
    slope = sum((k - mean_k) * (t - mean_t) for k, t in enumerate(found)) / sum(
        (k - mean_k) ** 2 for k in range(n))
    print("onsets: %d, effective tempo: %.4f BPM (error %.5f %%)" % (
        n, 60.0 * rate / slope, 100.0 * (step / slope - 1.0)))
    worst = 0.0
    for kind, first in (("kick", 0), ("snare", 1)):
        residuals = [found[k] - k * step for k in range(first, n, 2)]
        centre = (max(residuals) + min(residuals)) / 2.0
        spread = max(abs(r - centre) for r in residuals)
        worst = max(worst, spread)
        print("%-5s: %d onsets, max distance from the grid %.3f ms" % (
            kind, len(residuals), 1000.0 * spread / rate))
    print("drift over the recording: %.3f ms" % (
        1000.0 * ((found[-1] - found[0]) - (n - 1) * step) / rate))
    print("worst: %.3f ms" % (1000.0 * worst / rate))


if __name__ == "__main__":
    main()
