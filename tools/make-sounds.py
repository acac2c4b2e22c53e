#!/usr/bin/env python3
"""Makes the speed alarms' sounds: Limit.wav, LimitDown.wav and Zero.wav.

    tools/make-sounds.py [OUTPUT_FOLDER]      (default: data/sounds of this tree)

Each sound is a few sine tones, 16-bit mono at 22050 Hz, well under a second:
- Limit.wav:     two tones rising (the speed reached a limit);
- LimitDown.wav: two tones falling (the speed fell below a limit);
- Zero.wav:      a low double beep (the vehicle stopped).
The output depends only on this script, so running it again gives the same bytes;
a test checks that the committed files are what it makes.
"""

import math
import os
import struct
import sys
import wave

RATE = 22050
AMPLITUDE = 0.55 * 32767
FADE = 0.006  # seconds of fade at each end of a tone, so it starts and ends without a click

# (frequency in Hz, or 0 for silence; seconds)
SOUNDS = {
    "Limit.wav": [(660, 0.14), (0, 0.03), (990, 0.22)],
    "LimitDown.wav": [(990, 0.14), (0, 0.03), (550, 0.26)],
    "Zero.wav": [(330, 0.12), (0, 0.08), (330, 0.12)],
}


def tone(frequency, seconds):
    count = int(round(seconds * RATE))
    fade = int(FADE * RATE)
    samples = []
    for i in range(count):
        if frequency == 0:
            samples.append(0)
            continue
        t = i / RATE
        # A little of the second harmonic carries better on small loudspeakers.
        value = math.sin(2 * math.pi * frequency * t) + 0.25 * math.sin(4 * math.pi * frequency * t)
        envelope = min(1.0, i / fade, (count - 1 - i) / fade)
        samples.append(int(round(AMPLITUDE / 1.25 * value * envelope)))
    return samples


def write(path, parts):
    samples = []
    for frequency, seconds in parts:
        samples.extend(tone(frequency, seconds))
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(struct.pack("<%dh" % len(samples), *samples))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "data", "sounds")
    os.makedirs(folder, exist_ok=True)
    for name, parts in SOUNDS.items():
        write(os.path.join(folder, name), parts)
    return 0


if __name__ == "__main__":
    sys.exit(main())
