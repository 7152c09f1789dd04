#!/usr/bin/env python3
"""Writes the fuzzers' seed corpus (fuzz/corpus/{wav,ptp,cli}): small
recordings and tape images made here, each prefixed by the byte with which
the fuzz targets choose their options. Run from the repository root.
Inputs the fuzzers found that once made the program fail (found_*) stay in
the corpus beside these, as found: this script leaves them alone."""
import os
import random
import struct

ROOT = 'fuzz/corpus'


def checksum(block):
    return bytes(block) + bytes([sum(block[1:]) & 0xFF])


NAME = checksum([0x83, 0x00, 2, 0x41, 0x42])
DATA = checksum([0xF1, 0x00, 0x10, 0x43, 0x02, 0xC3, 0x00])
B9 = checksum([0xB9, 1, 2, 3])
END = checksum([0xB1, 0x05])
RAW = checksum([0x8A, 0x00, 1, 0x52])


def tape(blocks, lead_in=45):
    out = bytes([0xAA]) * lead_in
    for block in blocks:
        out += bytes([0xFF]) * 4 + bytes([0xD3]) * 3 + block
    return out + bytes([0xFF]) * 2


def signal(tape_bytes, short=3, long=9, high_first=True, bits=8):
    hi, lo = (200, 56)
    samples = []
    for byte in tape_bytes:
        for bit in range(7, -1, -1):
            half = short if (byte >> bit) & 1 else long
            first, second = (hi, lo) if high_first else (lo, hi)
            samples += [first] * half + [second] * half
    if bits == 8:
        return bytes(samples)
    width = bits // 8
    out = b''
    for s in samples:
        value = (s - 128) << (bits - 8)
        out += (value & ((1 << bits) - 1)).to_bytes(width, 'little')
    return out


def wav(rate, bits, data, channels=1, fmt=1):
    header = b'RIFF' + struct.pack('<I', 36 + len(data)) + b'WAVEfmt ' + struct.pack(
        '<IHHIIHH', 16, fmt, channels, rate, rate * bits // 8, bits // 8, bits) + b'data' + struct.pack(
        '<I', len(data))
    return header + data


def chunk(tag, body, size=None):
    out = tag + struct.pack('<I', len(body) if size is None else size) + body
    return out + (b'\x00' if len(body) % 2 else b'')


def riff(*chunks):
    body = b'WAVE' + b''.join(chunks)
    return b'RIFF' + struct.pack('<I', len(body)) + body


def fmt_fields(channels, rate, bits, fmt=1):
    frame = channels * bits // 8
    return struct.pack('<HHIIHH', fmt, channels, rate, rate * frame, frame, bits)


def extensible(channels, rate, bits):
    guid = bytes.fromhex('0100000000001000800000aa00389b71')
    return fmt_fields(channels, rate, bits, 0xFFFE) + struct.pack('<HHI', 22, bits, 4) + guid


def interleave(first, second, width):
    return b''.join(first[i:i + width] + second[i:i + width] for i in range(0, len(first), width))


def image(blocks, last_type=0xAA):
    body = b''
    for i, block in enumerate(blocks):
        kind = last_type if i == len(blocks) - 1 else 0x55
        body += bytes([kind]) + struct.pack('<H', len(block)) + block
    return b'\xff' + struct.pack('<H', (len(body) + 3) & 0xFFFF) + body


def write(kind, name, data):
    os.makedirs(f'{ROOT}/{kind}', exist_ok=True)
    with open(f'{ROOT}/{kind}/{name}', 'wb') as f:
        f.write(data)


def main():
    program = tape([NAME, DATA, B9, DATA, END])
    write('wav', 'auto_8bit', b'\x00' + wav(8000, 8, signal(program)))
    write('wav', 'auto_inverted', b'\x00' + wav(8000, 8, signal(program, high_first=False)))
    write('wav', 'auto_16bit', b'\x00' + wav(8000, 16, signal(tape([RAW, DATA, END]), bits=16)))
    write('wav', 'manual_24bit', b'\x03' + wav(8000, 24, signal(tape([DATA, END], 0), bits=24)))
    write('wav', 'manual_low_first', b'\x0b' + wav(8000, 32, signal(tape([NAME, END], 0), high_first=False, bits=32)))
    write('wav', 'manual_slow', b'\x04' + wav(1000, 8, signal(tape([END], 0), short=2, long=6)))
    write('wav', 'header_only', b'\x00' + wav(44100, 16, b''))
    write('wav', 'short_header', b'\x00' + wav(8000, 8, b'')[:38])
    write('wav', 'stereo', b'\x00' + wav(8000, 8, b'\x80' * 64, channels=2))
    write('wav', 'rate_zero', b'\x03' + wav(0, 8, signal(tape([DATA], 0))))
    # Noise and a signal that locks and dies, at extreme rates and separators:
    # the runs must end normally, without reading outside the samples.
    noise = bytes(random.Random(5).randrange(256) for _ in range(16000))
    write('wav', 'noise_rate_zero_s5000', b'\x04' + wav(0, 8, noise))
    write('wav', 'noise_max_rate_s1_jI', b'\x19' + wav(0xFFFFFFFF, 8, noise))
    write('wav', 'noise_48k_auto', b'\x00' + wav(48000, 8, noise))
    write('wav', 'dying_signal', b'\x00' + wav(8000, 8, signal(tape([NAME], 100)) + b'\x80' * 5000))
    # Layouts found by walking the chunks, and one channel of several (-c).
    listing = chunk(b'LIST', b'INFOISFT\x05\x00\x00\x00Lavf\x00')
    program24 = signal(tape([NAME, DATA, END]), bits=24)
    write('wav', 'walked_extensible_24', b'\x00' + riff(chunk(b'fmt ', extensible(1, 8000, 24)), listing,
                                                        chunk(b'data', program24)))
    write('wav', 'walked_odd_chunks', b'\x00' + riff(chunk(b'fmt ', fmt_fields(1, 8000, 16) + b'\x00\x00'),
                                                     chunk(b'bext', b'\x01\x02\x03'),
                                                     chunk(b'data', signal(tape([NAME, END]), bits=16)[:-3]),
                                                     listing))
    program16 = signal(tape([NAME, DATA, END]), bits=16)
    write('wav', 'stereo_c2', b'\x40' + wav(8000, 16, interleave(b'\x00' * len(program16), program16, 2), 2))
    write('wav', 'walked_streamed_stereo_c1', b'\x20' + riff(chunk(b'fmt ', extensible(2, 8000, 24)), listing)
          + b'data\xff\xff\xff\xff' + interleave(program24, b'\x00' * len(program24), 3) + b'\x01')
    # The rescue decoder (option byte bit 7): a clean program, one at a low
    # rate with a dropout, noise at extreme rates, and a walked layout.
    write('wav', 'rescue_auto', b'\x80' + wav(8000, 8, signal(program)))
    dropout = bytearray(signal(tape([NAME, DATA, END]), short=4, long=12, bits=16))
    dropout[3000:3400] = bytes(400)
    write('wav', 'rescue_dropout_16bit', b'\x80' + wav(11025, 16, bytes(dropout)))
    write('wav', 'rescue_noise_rate_zero', b'\x80' + wav(0, 8, noise))
    write('wav', 'rescue_noise_max_rate', b'\x80' + wav(0xFFFFFFFF, 8, noise))
    write('wav', 'rescue_noise_1hz', b'\x84' + wav(1, 8, noise))
    write('wav', 'rescue_walked_stereo_c2', b'\xc0' + wav(8000, 16, interleave(b'\x00' * len(program16), program16, 2), 2))
    write('wav', 'notches', b'\x00' + wav(8000, 8, bytes([200, 100, 180, 120, 190, 60, 150, 70, 130, 128] * 20)))

    example = image([NAME, DATA, END])
    write('ptp', 'image', b'\x00' + example)
    write('ptp', 'two_images_44k_16bit', b'\x0d' + example + example)
    write('ptp', 'b9_then_records', b'\x41' + image([NAME, B9]) + bytes([0x55, 8, 0]) + DATA)
    write('ptp', 'no_last_record', b'\x00' + image([NAME, DATA], last_type=0x55))
    write('ptp', 'empty_record', b'\xc0' + b'\xff\x00\x00\x55\x00\x00\xaa\x03\x00' + END)
    write('ptp', 'short_payload', b'\x00' + b'\xff\x00\x00\x55\x10\x00\x01\x02')
    write('ptp', 'bad_record_type', b'\x00' + b'\xff\x00\x00\x12\x34\x56')
    write('ptp', 'headerless', b'\x00' + bytes([0x55, 8, 0]) + DATA)
    write('ptp', 'stray_tail', b'\x24' + example + b'\xff\x01')

    for name, args in {
        'encode': ['tape.ptp', '-m22', '-b', '16', '-f3'],
        'decode': ['rec.wav', '-s', '624', '-jH'],
        'bad_extension': ['rec.old.wav'],
        'missing_value': ['x.ptp', '-s'],
        'bad_option': ['x.wav', '-S624'],
        'only_extension': ['.wav'],
        'other_letters': ['a.PTP', '-x', '5', '-q7'],
    }.items():
        write('cli', name, b'\x00'.join(a.encode() for a in args))


if __name__ == '__main__':
    main()
