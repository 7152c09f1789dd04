#!/usr/bin/env python3
"""Makes the example files of this repository (run from the repository root,
after building): hello.ptp, a small tape image, and hello_tape.wav, its
recording as a worn cassette might give it: encoded by kazettor at 22050 Hz,
16 bits, as a trapezoid, then softened, inverted, with hiss and a DC offset."""
import math
import random
import struct
import subprocess
import sys


def block_with_checksum(block):
    return bytes(block) + bytes([sum(block[1:]) & 0xFF])


def record(kind, block):
    return bytes([kind]) + struct.pack('<H', len(block)) + block


def hello_image():
    name = block_with_checksum([0x83, 0x00, 5] + list(b'HELLO'))
    text = b'10 PRINT "HELLO, PRIMO"\r20 GOTO 10\r'
    data = block_with_checksum([0xF1, 0x00, 0x43, 0x00, len(text)] + list(text))
    end = block_with_checksum([0xB1, 0x00])
    image = record(0x55, name) + record(0x55, data) + record(0xAA, end)
    return b'\xff' + struct.pack('<H', (len(image) + 3) & 0xFFFF) + image


def main():
    kazettor = sys.argv[1] if len(sys.argv) > 1 else 'build/kazettor'
    with open('examples/hello.ptp', 'wb') as f:
        f.write(hello_image())
    subprocess.run(['cp', 'examples/hello.ptp', 'examples/hello_tape.ptp'], check=True)
    subprocess.run([kazettor, 'examples/hello_tape.ptp', '-m22', '-b16', '-f6'], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(['rm', 'examples/hello_tape.ptp'], check=True)
    with open('examples/hello_tape.wav', 'rb') as f:
        wav = f.read()
    header, data = wav[:44], wav[44:]
    samples = struct.unpack('<%dh' % (len(data) // 2), data)
    rng = random.Random(1)
    out, level = [], 0.0
    for s in samples:
        level += 0.45 * (s - level)             # a soft low-pass, as a tape head gives
        value = -0.6 * level + 900 + rng.gauss(0, 400)   # inverted, offset, with hiss
        out.append(max(-32768, min(32767, int(round(value)))))
    with open('examples/hello_tape.wav', 'wb') as f:
        f.write(header + struct.pack('<%dh' % len(out), *out))


if __name__ == '__main__':
    main()
