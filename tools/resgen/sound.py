"""OPEN: the opening sound. A rising arpeggio of soft bells over a low warm chord,
written as RIFF WAVE, PCM, one channel, 11025 samples a second, 8 bits a sample."""

import struct

import numpy as np

from output import write_bytes

RATE = 11025
SAMPLES = 43678  # a little under four seconds


def bell(t, freq, decay):
    """A struck bell: two-operator FM with a bright attack that mellows as it rings.
    Higher notes get less modulation, so no sideband that matters folds back from
    above half the sample rate."""
    index = 1.6 * min(1.0, 700.0 / freq) * np.exp(-t * 3.0)
    mod = np.sin(2 * np.pi * freq * 1.4 * t) * index
    env = np.exp(-t * decay) * (1 - np.exp(-t * 300))
    return np.sin(2 * np.pi * freq * t + mod) * env


def pad(t, freqs, length):
    env = np.clip(t / 0.6, 0, 1) * np.clip((length - t) / 1.4, 0, 1)
    out = sum(np.sin(2 * np.pi * f * t) + 0.3 * np.sin(2 * np.pi * 2 * f * t + 0.7) for f in freqs)
    return out * env / len(freqs)


def synthesise():
    t = np.arange(SAMPLES) / RATE
    length = SAMPLES / RATE
    out = 0.30 * pad(t, (130.81, 196.00, 261.63), length)  # C3 G3 C4
    # C5 E5 G5 B5 D6, then a high G6 that rings out
    notes = [(0.00, 523.25), (0.16, 659.25), (0.32, 783.99), (0.48, 987.77), (0.64, 1174.66),
             (1.05, 1567.98)]
    for start, freq in notes:
        tt = np.clip(t - start, 0, None)
        out = out + np.where(t >= start, bell(tt, freq, 1.6 if freq < 1500 else 1.1), 0) * 0.34
    # a quiet echo a quarter of a second behind, for a sense of space
    delay = int(0.25 * RATE)
    echo = np.zeros_like(out)
    echo[delay:] = out[:-delay] * 0.28
    out = out + echo
    fade = np.clip((length - t) / 0.5, 0, 1)
    out = out * fade
    out = out / np.max(np.abs(out)) * 0.85
    rng = np.random.default_rng(1997)
    dither = (rng.random(SAMPLES) - rng.random(SAMPLES))  # triangular, one step wide
    pcm = np.clip(np.round(128 + out * 127 + dither * 0.5), 0, 255).astype(np.uint8)
    pcm[0] = pcm[-1] = 128
    return pcm


def write(path):
    pcm = synthesise().tobytes()
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE, 1, 8)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"data" + struct.pack("<I", len(pcm)) + pcm
    if len(pcm) % 2:
        body += b"\0"  # chunks are padded to an even length
    write_bytes(path, b"RIFF" + struct.pack("<I", len(body)) + body)
