#!/usr/bin/env python3
"""End-to-end check of the Windows build against the Linux build (standard library only).

Called by scripts/windows-e2e.sh, which sets up wine (prefix, server, locale)
and the two builds. Makes the inputs (tape images built byte by byte,
recordings of them made by the native encoder, recordings degraded or laid
out here, examples/ and the seeds of fuzz/corpus), runs every case twice, with
the native Linux build and with kazettor.exe under wine, each in a fresh
directory of its own, and compares:

- the exit status;
- standard output, after turning CRLF into LF (redirected, a Windows
  program's text-mode output ends its lines with "\\r\\n") and replacing the
  program name that the usage text prints (argv[0]) with "kazettor" on both
  sides;
- every directory and every file left behind, byte for byte (inputs
  included).

Standard error is not compared (wine's own messages go there). A passing
case's directory is removed; a failing one stays under the work directory
with both runs and, where standard output differs, both texts.
Exit status: 0 when every case passes, 1 otherwise.
"""
import argparse
import array
import hashlib
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import time

# ---------------------------------------------------------------- tape images
# A PTP file holds images: 0xFF, the image length (little-endian), then
# records: type 0x55 (0xAA for the last of the image), payload length, and a
# payload that is one tape block. A block's last byte is its checksum: the
# sum of the bytes after its type byte, modulo 256.


def block(*values):
    return bytes(values) + bytes([sum(values[1:]) & 0xFF])


def name_block(name, kind=0x83):
    return block(kind, 0x00, len(name), *name)


def data_block(data, number=0, address=0x4300):
    assert 1 <= len(data) <= 256
    return block(0xF1, number, address & 0xFF, address >> 8, len(data) & 0xFF, *data)


def end_block():
    return block(0xB1, 0x00)


def image(blocks):
    body = b''
    for i, payload in enumerate(blocks):
        kind = 0xAA if i == len(blocks) - 1 else 0x55
        body += bytes([kind]) + struct.pack('<H', len(payload)) + payload
    return b'\xff' + struct.pack('<H', (len(body) + 3) & 0xFFFF) + body


def basic_line(number, text):
    return bytes([number & 0xFF, number >> 8]) + text + b'\r'


HELLO = image([name_block(b'HELLO'),
               data_block(basic_line(10, b'PRINT "HELLO"') + basic_line(20, b'GOTO 10')),
               end_block()])
GAME = image([name_block(b'GAME2'),
              data_block(bytes((i * 7) & 0xFF for i in range(256)), 0, 0x4300),
              data_block(bytes((i * 13 + 5) & 0xFF for i in range(256)), 1, 0x4400),
              data_block(bytes(range(40)), 2, 0x4500),
              end_block()])
# A name block of type 0x8A: the decoder writes its data bytes alone, as .ass.
RAW = image([name_block(b'CODE', 0x8A), data_block(bytes(range(100, 164)), 0, 0x6000),
             data_block(bytes(range(50)), 1, 0x6040), end_block()])
# Data blocks before any name block: the decoder writes them to Unknown.bin.
NAMELESS = image([data_block(b'NO NAME ' * 8, 0, 0x5000), data_block(b'\x00\xff' * 20, 1, 0x5040),
                  end_block()])
# Primo letters for accented vowels: 0x5B, 0x5C ('\'), 0x60, 0x7C ('|').
ACCENTED = image([name_block(b'\x5bR\x5cM\x60\x7cK'), data_block(b'ABC'), end_block()])
# Every Primo code that the decoder turns into a plain vowel in a file name
# (0x1E, 0x40 '@', 0x5B-0x60, 0x7B-0x7F), with ordinary letters between, in
# two programs whose names differ only in them.
ALL_ACCENTS = image([name_block(b'\x1eK\x40R\x5b\x5cS\x5d\x5e\x5f\x60'),
                     data_block(b'FIRST ACCENTED ' * 4, 0, 0x4300), end_block()]) + \
    image([name_block(b'\x7bK\x7cR\x7d\x7eS\x7f'), data_block(b'SECOND', 0, 0x4300), end_block()])
# A colon, which Windows would take for the start of a stream name.
COLON = image([name_block(b'T:X'), data_block(b'XYZ'), end_block()])
MULTI = HELLO + RAW + NAMELESS + GAME


def bad_checksum_image():
    """A program whose second data block carries a wrong checksum."""
    damaged = bytearray(data_block(bytes((i * 5 + 1) & 0xFF for i in range(120)), 1, 0x4400))
    damaged[-1] ^= 0x5A
    return image([name_block(b'BAD'), data_block(b'GOOD BLOCK ' * 3, 0, 0x4300), bytes(damaged),
                  data_block(b'AFTER', 2, 0x4478), end_block()])


BAD_CHECKSUM = bad_checksum_image()

# ---------------------------------------------------------------- recordings
# The encoder writes a canonical 44-byte header and little-endian samples.


def wav_header(rate, bits, channels, data_bytes):
    frame = channels * bits // 8
    return b'RIFF' + struct.pack('<I', 36 + data_bytes) + b'WAVEfmt ' + \
        struct.pack('<IHHIIHH', 16, 1, channels, rate, rate * frame, frame, bits) + \
        b'data' + struct.pack('<I', data_bytes)


def samples16(wav):
    """The samples of a canonical 16-bit mono recording: (rate, array of int)."""
    channels, rate = struct.unpack('<HI', wav[22:28])
    bits = struct.unpack('<H', wav[34:36])[0]
    assert wav[36:40] == b'data' and channels == 1 and bits == 16, 'not a canonical 16-bit mono WAV'
    samples = array.array('h')
    samples.frombytes(wav[44:])
    if sys.byteorder == 'big':
        samples.byteswap()
    return rate, samples


def wav16(rate, samples):
    samples = array.array('h', samples)
    if sys.byteorder == 'big':
        samples.byteswap()
    data = samples.tobytes()
    return wav_header(rate, 16, 1, len(data)) + data


def clamp16(value):
    return max(-32768, min(32767, int(round(value))))


def noise(seed, count):
    """White noise from a fixed seed: mean 0, standard deviation 1, the sum
    of four uniform draws. random.Random(seed).random() gives the same
    numbers in every Python 3."""
    draw = random.Random(seed).random
    scale = 3.0 ** 0.5
    return [(draw() + draw() + draw() + draw() - 2.0) * scale for _ in range(count)]


def quiet_with_offset(wav, level_db, offset):
    """The recording turned down by level_db and shifted by offset (of full scale)."""
    rate, samples = samples16(wav)
    gain = 10 ** (level_db / 20)
    shift = offset * 32767
    return wav16(rate, (max(-32768, min(32767, round(x * gain + shift))) for x in samples))


def with_noise(wav, snr_db, scale, seed):
    """The recording at `scale` of its level, with white noise snr_db below the
    tape signal's RMS (measured on the first lead-in), through the silences too."""
    rate, samples = samples16(wav)
    start = next(i for i, x in enumerate(samples) if x)
    lead_in = samples[start:start + rate]
    rms = (sum(x * x for x in lead_in) / len(lead_in)) ** 0.5
    deviation = scale * rms / 10 ** (snr_db / 20)
    return wav16(rate, (max(-32768, min(32767, round(x * scale + n * deviation)))
                        for x, n in zip(samples, noise(seed, len(samples)))))


def with_clicks(wav, scale, seconds, length=0.001, height=20000):
    """The recording at `scale` of its level, with a click (a step of `height`
    for `length` seconds) at each of the given seconds."""
    rate, samples = samples16(wav)
    samples = array.array('h', (int(x * scale) for x in samples))
    for second in seconds:
        at = int(second * rate)
        for i in range(at, at + int(length * rate)):
            samples[i] = max(-32768, min(32767, samples[i] + height))
    return wav16(rate, samples)


# Channels laid out by hand. KSDATAFORMAT_SUBTYPE_PCM as it is stored.
PCM_SUBFORMAT = bytes.fromhex('0100000000001000800000aa00389b71')


def chunk(kind, body):
    return kind + struct.pack('<I', len(body)) + body + (b'\x00' if len(body) % 2 else b'')


def pad(samples, length):
    return samples + array.array('h', [0]) * (length - len(samples))


def interleaved16(rate, channels):
    """A canonical 16-bit WAV whose channels are the given sample arrays."""
    length = max(len(c) for c in channels)
    frames = array.array('h', [0]) * (length * len(channels))
    for i, samples in enumerate(channels):
        frames[i::len(channels)] = pad(samples, length)
    if sys.byteorder == 'big':
        frames.byteswap()
    data = frames.tobytes()
    return wav_header(rate, 16, len(channels), len(data)) + data


def extensible24(rate, channels, low_bytes_seed=5):
    """A WAVE_FORMAT_EXTENSIBLE file of 24-bit PCM, as audio tools write it:
    RIFF, a 40-byte fmt chunk with the PCM SubFormat GUID, a LIST chunk, then
    the data. Each 16-bit sample becomes the top two bytes of its 24-bit one,
    with a little noise in the lowest byte."""
    length = max(len(c) for c in channels)
    count = len(channels)
    width = 3 * count
    data = bytearray(length * width)
    draw = random.Random(low_bytes_seed).random
    for i, samples in enumerate(channels):
        raw = pad(samples, length)
        if sys.byteorder == 'big':
            raw.byteswap()
        raw = raw.tobytes()
        data[3 * i::width] = bytes(int(draw() * 256) for _ in range(length))
        data[3 * i + 1::width] = raw[0::2]
        data[3 * i + 2::width] = raw[1::2]
    mask = (1 << count) - 1
    fmt = struct.pack('<HHIIHHHHI', 0xFFFE, count, rate, rate * width, width, 24, 22, 24, mask) + PCM_SUBFORMAT
    assert len(fmt) == 40
    info = chunk(b'INAM', b'kazettor e2e\x00') + chunk(b'ISFT', b'windows_e2e.py\x00')
    body = b'WAVE' + chunk(b'fmt ', fmt) + chunk(b'LIST', b'INFO' + info) + chunk(b'data', bytes(data))
    return b'RIFF' + struct.pack('<I', len(body)) + body


# ---------------------------------------------------------------- the check


class Check:
    def __init__(self, native, wine, exe, work, root, large):
        self.native, self.wine, self.exe, self.work, self.root = native, wine, exe, work, root
        self.large = large
        self.corpus = os.path.join(root, 'fuzz', 'corpus')
        self.cases = []
        self.skipped = []
        self.notes = []

    # ------------------------------------------------------------ helpers

    def case(self, name, args, inputs=None, windows_args=None, on_windows=None):
        """A case: its name, the arguments (the input path first, relative to
        the case's directory), the files it starts with, and optionally the
        arguments for Windows and how the Linux results change on Windows."""
        self.cases.append((name, args, inputs or {}, windows_args or args, on_windows))

    def corpus_file(self, kind, name):
        # The fuzz targets take their options from the first byte.
        return read(os.path.join(self.corpus, kind, name))[1:]

    def scratch(self):
        scratch = os.path.join(self.work, '_scratch')
        shutil.rmtree(scratch, ignore_errors=True)
        os.makedirs(scratch)
        return scratch

    def run_native(self, name, data, options, check=False):
        """Runs the native build on the data as file `name` in a fresh scratch directory; returns it."""
        scratch = self.scratch()
        with open(os.path.join(scratch, name), 'wb') as f:
            f.write(data)
        subprocess.run([self.native, name, *options], cwd=scratch, stdout=subprocess.DEVNULL,
                       stdin=subprocess.DEVNULL, check=check)
        return scratch

    def encode(self, ptp, options):
        """A recording made by the (native) encoder."""
        scratch = self.run_native('tape.ptp', ptp, options, check=True)
        data = read(os.path.join(scratch, 'tape.wav'))
        shutil.rmtree(scratch)
        return data

    def decoded(self, wav, options):
        """The programs the native decoder gets from a recording: name -> bytes."""
        scratch = self.run_native('rec.wav', wav, options)
        found = {}
        if os.path.isdir(os.path.join(scratch, 'rec')):
            for name in os.listdir(os.path.join(scratch, 'rec')):
                if name != 'rec.wav':
                    found[name] = read(os.path.join(scratch, 'rec', name))
        shutil.rmtree(scratch)
        return found

    def expect_rescue_only(self, what, wav, images, options=()):
        """Notes (without failing) when a degraded recording no longer shows
        what its cases are for: the rescue decoder reads every program, the
        default decoder does not."""
        wanted = sorted(images)
        rescued = sorted(self.decoded(wav, [*options, '-r', 'I']).values())
        default = sorted(self.decoded(wav, list(options)).values())
        if rescued != wanted:
            self.notes.append(f'{what}: the rescue decoder no longer reads every program')
        if default == wanted:
            self.notes.append(f'{what}: the default decoder reads it as well now')

    # ------------------------------------------------------------ the cases

    def make_cases(self):
        work, root, case = self.work, self.root, self.case
        os.makedirs(work, exist_ok=True)
        hello_ptp = read(os.path.join(root, 'examples', 'hello.ptp'))
        hello_tape = read(os.path.join(root, 'examples', 'hello_tape.wav'))
        multi22 = self.encode(MULTI, ['-m22', '-b8'])
        multi44 = self.encode(MULTI, ['-m', '44', '-b', '16', '-f', '10'])
        games22 = self.encode(GAME + HELLO, ['-m22', '-b16', '-f3'])

        case('no_arguments', [])
        case('bad_extension', ['tape.txt'], {'tape.txt': HELLO})
        case('no_extension', ['tape'], {'tape': HELLO})
        case('two_extensions', ['tape.ptp.bak'], {'tape.ptp.bak': HELLO})
        case('only_extension_in_directory', ['tapes/.wav'], {'tapes/.wav': multi22})
        case('incomplete_option', ['tape.ptp', '-m'], {'tape.ptp': HELLO})
        case('unknown_option_capital', ['tape.ptp', '-M', '22'], {'tape.ptp': HELLO})
        case('unknown_option_no_dash', ['tape.wav', 's', '624'], {'tape.wav': multi22})
        case('missing_ptp', ['missing.ptp'])
        case('missing_wav', ['missing.wav'])
        case('directory_as_input', ['tapes.wav'], {'tapes.wav/keep': b''})
        case('stereo_wav', ['stereo.wav'], {'stereo.wav': self.corpus_file('wav', 'stereo')})

        case('ptp_default', ['hello.ptp'], {'hello.ptp': hello_ptp})
        case('ptp_upper_case_extension', ['HELLO.PTP'], {'HELLO.PTP': HELLO})
        case('ptp_11k_16bit_triangle', ['tape.ptp', '-m', '11', '-b', '16', '-f', '8'], {'tape.ptp': HELLO})
        case('ptp_16k_8bit_sine', ['tape.ptp', '-m16', '-f0'], {'tape.ptp': HELLO})
        case('ptp_22k_16bit_trapezoid', ['tape.ptp', '-m22', '-b16', '-f5'], {'tape.ptp': MULTI})
        case('ptp_44k_24bit_trapezoid', ['tape.ptp', '-m44', '-b24', '-f14'], {'tape.ptp': GAME})
        case('ptp_48k_32bit_sine', ['tape.ptp', '-m', '48', '-b', '32', '-f', '99'], {'tape.ptp': HELLO})
        case('ptp_invalid_values', ['tape.ptp', '-m7', '-b12', '-fx'], {'tape.ptp': HELLO})
        case('ptp_concatenated', ['tape.ptp', '-m22'], {'tape.ptp': HELLO + GAME + RAW + NAMELESS})
        case('ptp_subdirectory', ['tapes/games.ptp', '-m44', '-b16'], {'tapes/games.ptp': GAME + HELLO})
        case('ptp_bad_image_marker', ['tape.ptp'], {'tape.ptp': b'\x55' + HELLO[1:]})
        case('ptp_bad_record_type', ['tape.ptp'], {'tape.ptp': HELLO[:3] + b'\x42' + HELLO[4:]})
        case('ptp_short_payload', ['tape.ptp', '-m22'], {'tape.ptp': HELLO + GAME[:-20]})
        case('ptp_second_image_malformed', ['tape.ptp'], {'tape.ptp': HELLO + b'\x00\x01\x02' + GAME})
        for name in sorted(os.listdir(os.path.join(self.corpus, 'ptp'))):
            case('ptp_corpus_' + name, ['tape.ptp'], {'tape.ptp': self.corpus_file('ptp', name)})

        case('wav_examples_hello_tape', ['hello_tape.wav'], {'hello_tape.wav': hello_tape})
        case('wav_8bit_automatic', ['tape.wav'], {'tape.wav': multi22})
        case('wav_8bit_s624_jI', ['tape.wav', '-s', '624', '-j', 'I'], {'tape.wav': multi22})
        case('wav_8bit_s624_jH', ['tape.wav', '-s624', '-jH'], {'tape.wav': multi22})
        case('wav_16bit_automatic', ['tape.wav'], {'tape.wav': multi44})
        case('wav_16bit_s624_jI', ['tape.wav', '-s624', '-jI'], {'tape.wav': multi44})
        case('wav_16bit_s624_jH', ['tape.wav', '-s', '624', '-j', 'H'], {'tape.wav': multi44})
        case('wav_16bit_trapezoid_22k', ['tape.wav'], {'tape.wav': games22})
        case('wav_subdirectory', ['tapes/side1.wav'], {'tapes/side1.wav': multi22})
        case('wav_upper_case_extension', ['tapes/SIDE1.WAV'], {'tapes/SIDE1.WAV': multi44})
        case('wav_accented_name', ['tape.wav'], {'tape.wav': self.encode(ACCENTED, ['-m22'])})
        for name in sorted(os.listdir(os.path.join(self.corpus, 'wav'))):
            if name != 'stereo':
                case('wav_corpus_' + name, ['rec.wav'], {'rec.wav': self.corpus_file('wav', name)})

        self.make_corpus_option_cases()
        self.make_rescue_cases(hello_tape, multi22, multi44, games22)
        self.make_channel_cases()

        # Windows only: a colon in a program name, which Windows would take for a stream.
        colon = self.encode(COLON, ['-m22'])
        case('windows_colon_in_name', ['tape.wav'], {'tape.wav': colon},
             on_windows=named_on_windows('T:X', 'T_X'))
        case('windows_colon_in_name_rI', ['tape.wav', '-r', 'I'], {'tape.wav': colon},
             on_windows=named_on_windows('T:X', 'T_X'))

        # A path beyond ASCII. Without a manifest that makes UTF-8 its code
        # page, the program gets its arguments in the ANSI code page (1252
        # under wine with LC_ALL=C.UTF-8, 1250 on a Hungarian Windows) and
        # prints the path in it; the files are the same. A letter that code
        # page lacks (ő) needs the manifest.
        utf8_manifest = b'activeCodePage' in read(self.exe)

        def ansi_on_windows(text):
            if utf8_manifest:
                return None
            return printed_on_windows(text, None, text.encode('cp1252'))

        case('windows_euro_sign_in_path', ['zene_€.wav'], {'zene_€.wav': multi22},
             on_windows=ansi_on_windows('zene_€'))
        case('windows_euro_sign_in_path_rI', ['zene_€.wav', '-r', 'I'], {'zene_€.wav': multi22},
             on_windows=ansi_on_windows('zene_€'))
        if utf8_manifest:
            case('windows_hungarian_path', ['oldal_ő/szalag_ű.wav'], {'oldal_ő/szalag_ű.wav': multi22})
            case('windows_hungarian_path_rI', ['oldal_ő/szalag_ű.wav', '-r', 'I'],
                 {'oldal_ő/szalag_ű.wav': multi22})
        else:
            for name in ('windows_hungarian_path', 'windows_hungarian_path_rI'):
                self.skipped.append(name + ' (no UTF-8 manifest in the .exe)')

        if self.large:
            self.make_large_cases()

    def make_corpus_option_cases(self):
        """The seeds of fuzz/corpus with the options their first byte gives
        the fuzz targets (fuzz/fuzz_wav.cpp, fuzz/fuzz_ptp.cpp), where it
        gives any: -s, -j, -c and -r I for a recording, -m, -b and -f for a
        tape image."""
        separators = [None, '1', '100', '624', '5000', '99', '5001', 'x']
        first_halves = [None, 'H', 'h', 'I']
        channels = [None, '1', '2', '3']
        for name in sorted(os.listdir(os.path.join(self.corpus, 'wav'))):
            seed = read(os.path.join(self.corpus, 'wav', name))
            byte = seed[0]
            options = []
            for letter, value in (('-s', separators[byte & 7]), ('-j', first_halves[(byte >> 3) & 3]),
                                  ('-c', channels[(byte >> 5) & 3]), ('-r', 'I' if byte & 0x80 else None)):
                if value is not None:
                    options += [letter, value]
            if options:
                self.case('wav_corpus_options_' + name, ['rec.wav', *options], {'rec.wav': seed[1:]})
        rates = [None, '8', '11', '16', '22', '44', '48', '44100']
        widths = [None, '8', '16', '24', '32', '12', '-8', 'x']
        shapes = [None, '0', '1', '2', '6', '7', '30', '-3']
        for name in sorted(os.listdir(os.path.join(self.corpus, 'ptp'))):
            seed = read(os.path.join(self.corpus, 'ptp', name))
            byte = seed[0]
            shape = shapes[(byte >> 6) * 2 + (len(seed) & 1)] if byte >> 6 else None
            options = []
            for letter, value in (('-m', rates[byte & 7]), ('-b', widths[(byte >> 3) & 7]), ('-f', shape)):
                if value is not None:
                    options += [letter, value]
            if options:
                self.case('ptp_corpus_options_' + name, ['tape.ptp', *options],
                          {'tape.ptp': seed[1:4097]})

    def make_rescue_cases(self, hello_tape, multi22, multi44, games22):
        """The rescue decoder (-r I, -r i), and -r H, which means the default
        decoder: its console lines, the damage report and its files."""
        case = self.case
        case('rescue_incomplete_option', ['tape.wav', '-r'], {'tape.wav': multi22})
        case('rescue_ptp_input_ignores_r', ['tape.ptp', '-r', 'I', '-m22'], {'tape.ptp': HELLO})
        # Clean recordings made by the encoder.
        case('rescue_clean_8bit_rI', ['tape.wav', '-r', 'I'], {'tape.wav': multi22})
        case('rescue_clean_8bit_ri', ['tape.wav', '-r', 'i'], {'tape.wav': multi22})
        case('rescue_clean_8bit_rH', ['tape.wav', '-r', 'H'], {'tape.wav': multi22})
        case('rescue_clean_16bit_rI', ['tape.wav', '-rI'], {'tape.wav': multi44})
        # -s and -j name the timing and the polarity: here the recording inverted, so
        # that its cells start with their low half, as -j H says.
        rate, samples = samples16(multi44)
        low_first44 = wav16(rate, (clamp16(-x) for x in samples))
        case('rescue_clean_16bit_s624_jH_rI', ['tape.wav', '-s624', '-jH', '-rI'], {'tape.wav': low_first44})
        case('rescue_clean_16bit_s624_jI_ri', ['tape.wav', '-s', '624', '-j', 'I', '-r', 'i'],
             {'tape.wav': multi44})
        case('rescue_trapezoid_22k_rI', ['tape.wav', '-r', 'I'], {'tape.wav': games22})
        case('rescue_invalid_value_default', ['tape.wav', '-r', 'x'], {'tape.wav': games22})
        case('rescue_examples_hello_tape_rI', ['hello_tape.wav', '-r', 'I'], {'hello_tape.wav': hello_tape})
        case('rescue_subdirectory_rI', ['tapes/side1.wav', '-r', 'I'], {'tapes/side1.wav': multi22})

        # Degraded: -50 dB with a DC offset of 0.1 of full scale, 16 bits, and
        # white noise 5 dB below the signal; the default decoder does not read
        # them, the rescue decoder does.
        source = HELLO + GAME
        clean16 = self.encode(source, ['-m22', '-b16', '-f5'])
        quiet = quiet_with_offset(clean16, -50, 0.1)
        noisy = with_noise(clean16, 5, 0.2, seed=6)
        self.expect_rescue_only('the quiet recording with a DC offset', quiet, [HELLO, GAME])
        self.expect_rescue_only('the noisy recording', noisy, [HELLO, GAME])
        for label, wav in (('quiet_dc_offset', quiet), ('noise_5dB', noisy)):
            case(f'rescue_{label}_default', ['tape.wav'], {'tape.wav': wav})
            case(f'rescue_{label}_rH', ['tape.wav', '-r', 'H'], {'tape.wav': wav})
            case(f'rescue_{label}_rI', ['tape.wav', '-r', 'I'], {'tape.wav': wav})
        case('rescue_noise_5dB_s624_ri', ['tape.wav', '-s', '624', '-r', 'i'], {'tape.wav': noisy})
        # Harder noise: blocks the rescue decoder cannot read, a name block
        # among them, in the report.
        case('rescue_noise_2_5dB_rI', ['tape.wav', '-r', 'I'],
             {'tape.wav': with_noise(clean16, 2.5, 0.2, seed=6)})
        # Two clicks in GAME2's data blocks: a loss of signal (X) and a block
        # repaired where two readings agree (J), with the bytes it changed.
        clicks = with_clicks(clean16, 0.25, [20.90, 25.62])
        case('rescue_clicks_default', ['tape.wav'], {'tape.wav': clicks})
        case('rescue_clicks_rI', ['tape.wav', '-r', 'I'], {'tape.wav': clicks})

        # A block with a wrong checksum on the tape: the report lists it.
        bad = self.encode(BAD_CHECKSUM + HELLO, ['-m22'])
        case('rescue_bad_checksum_default', ['tape.wav'], {'tape.wav': bad})
        case('rescue_bad_checksum_rI', ['tape.wav', '-r', 'I'], {'tape.wav': bad})
        case('rescue_bad_checksum_16bit_ri', ['tape.wav', '-ri'],
             {'tape.wav': self.encode(BAD_CHECKSUM, ['-m44', '-b16', '-f10'])})

        # Names with accented-letter codes, which become plain vowels in the
        # file names.
        accents = self.encode(ALL_ACCENTS + ACCENTED, ['-m22'])
        case('rescue_accented_names_default', ['tape.wav'], {'tape.wav': accents})
        case('rescue_accented_names_rI', ['tape.wav', '-r', 'I'], {'tape.wav': accents})
        case('rescue_accented_names_rH', ['tape.wav', '-r', 'H'], {'tape.wav': accents})

    def make_channel_cases(self):
        """-c N on a 16-bit stereo file and on 24-bit WAVE_FORMAT_EXTENSIBLE
        files with a LIST chunk before the data; with and without -c."""
        case = self.case
        rate, left = samples16(self.encode(HELLO, ['-m16', '-b16']))
        _, right = samples16(self.encode(GAME + RAW, ['-m16', '-b16', '-f4']))
        stereo = interleaved16(rate, [left, right])
        case('channel_stereo16_without_c', ['stereo.wav'], {'stereo.wav': stereo})
        case('channel_stereo16_c1', ['stereo.wav', '-c', '1'], {'stereo.wav': stereo})
        case('channel_stereo16_c2', ['stereo.wav', '-c2'], {'stereo.wav': stereo})
        case('channel_stereo16_c3', ['stereo.wav', '-c', '3'], {'stereo.wav': stereo})
        case('channel_stereo16_c0', ['stereo.wav', '-c', '0'], {'stereo.wav': stereo})
        case('channel_stereo16_incomplete', ['stereo.wav', '-c'], {'stereo.wav': stereo})
        case('channel_stereo16_c2_rI', ['stereo.wav', '-c', '2', '-r', 'I'], {'stereo.wav': stereo})
        case('channel_stereo16_c1_s624_jI', ['stereo.wav', '-c1', '-s624', '-jI'], {'stereo.wav': stereo})

        rate, game = samples16(self.encode(GAME, ['-m22', '-b16', '-f5']))
        _, multi = samples16(self.encode(HELLO + NAMELESS, ['-m22', '-b16', '-f0']))
        inverted = array.array('h', (clamp16(-x) for x in multi))
        ext_stereo = extensible24(rate, [game, inverted])
        ext_mono = extensible24(rate, [game])
        case('channel_ext24_stereo_without_c', ['ext.wav'], {'ext.wav': ext_stereo})
        case('channel_ext24_stereo_c1', ['ext.wav', '-c', '1'], {'ext.wav': ext_stereo})
        case('channel_ext24_stereo_c2', ['ext.wav', '-c', '2'], {'ext.wav': ext_stereo})
        case('channel_ext24_stereo_c1_rI', ['ext.wav', '-c', '1', '-r', 'I'], {'ext.wav': ext_stereo})
        case('channel_ext24_stereo_c2_ri', ['ext.wav', '-c2', '-ri'], {'ext.wav': ext_stereo})
        case('channel_ext24_mono_without_c', ['ext.wav'], {'ext.wav': ext_mono})
        case('channel_ext24_mono_c1', ['ext.wav', '-c', '1'], {'ext.wav': ext_mono})
        case('channel_ext24_mono_c2_rI', ['ext.wav', '-c', '2', '-r', 'I'], {'ext.wav': ext_mono})

    def make_large_cases(self):
        def large_inputs(directory):
            # A canonical 8-bit mono header at 44100 Hz, then 2.5 GB of
            # silence as a hole in the file.
            header = b'RIFF' + struct.pack('<I', 0) + b'WAVEfmt ' + \
                struct.pack('<IHHIIHH', 16, 1, 1, 44100, 44100, 1, 8) + b'data' + struct.pack('<I', 0)
            with open(os.path.join(directory, 'big.wav'), 'wb') as f:
                f.write(header)
                f.truncate(2_500_000_044)
        self.case('large_wav_2_5_GB', ['big.wav'], {'big.wav': large_inputs})
        # 4000 full data blocks give a WAV of about 2.4 GB: its length is
        # taken and the header written over at a position past 2 GiB.
        big_ptp = image([name_block(b'BIG')] + [
            data_block(bytes(((i * 31 + j * 17) >> 1) & 0xFF for j in range(256)), i & 0xFF)
            for i in range(4000)] + [end_block()])
        self.case('large_ptp_to_wav_2_4_GB', ['big.ptp', '-m48', '-b32', '-f99'], {'big.ptp': big_ptp})

    # ------------------------------------------------------------ running

    def run(self, only=None):
        failures = 0
        ran = 0
        started = time.monotonic()
        wine_seconds = 0.0
        for name, args, inputs, windows_args, on_windows in self.cases:
            if only and not re.search(only, name):
                continue
            ran += 1
            base = os.path.join(self.work, name)
            linux_dir, windows_dir = base + '/linux', base + '/windows'
            prepare(linux_dir, inputs)
            prepare(windows_dir, inputs)
            expected_status, expected_out, _ = run([self.native, *args], linux_dir)
            status, out, seconds = run([self.wine, self.exe, *windows_args], windows_dir)
            wine_seconds += seconds
            expected_out = usage_name(expected_out)
            out = usage_name(out.replace(b'\r\n', b'\n'))
            expected_files = tree(linux_dir)
            files = tree(windows_dir)
            if on_windows:
                expected_status, expected_out, expected_files = on_windows(expected_status, expected_out,
                                                                           expected_files)
            problems = []
            if status != expected_status:
                problems.append(f'status {status}, expected {expected_status}')
            if out != expected_out:
                problems.append('standard output differs')
            for path in sorted(set(files) | set(expected_files)):
                if path not in files:
                    problems.append(f'missing {path}')
                elif path not in expected_files:
                    problems.append(f'unexpected {path}')
                elif files[path] != expected_files[path]:
                    problems.append(f'{path} differs')
            written = len([p for p in expected_files if not p.endswith('/')]) - len(inputs)
            print(f'{"PASS" if not problems else "FAIL"} {name} (status {status}, {written} files written)',
                  flush=True)
            for problem in problems:
                print(f'     {problem}')
            if out != expected_out:
                with open(base + '/stdout.expected', 'wb') as f:
                    f.write(expected_out)
                with open(base + '/stdout.windows', 'wb') as f:
                    f.write(out)
                print(f'     compare {base}/stdout.expected and stdout.windows')
            if problems:
                failures += 1
            else:
                shutil.rmtree(base)

        for name in self.skipped:
            print(f'SKIP {name}')
        for note in self.notes:
            print(f'NOTE {note}')
        print(f'{time.monotonic() - started:.0f} s, {wine_seconds:.0f} s of it under wine')
        print(f'{ran - failures} passed, {failures} failed, {len(self.skipped)} skipped')
        return 1 if failures else 0


def read(path):
    with open(path, 'rb') as f:
        return f.read()


def printed_on_windows(old, new, new_bytes=None):
    """The Linux results with a path printed differently on Windows."""
    def change(status, stdout, files):
        return status, stdout.replace(old.encode(), new_bytes or new.encode()), files
    return change


def named_on_windows(old, new):
    """The Linux results with a file named differently on Windows."""
    def change(status, stdout, files):
        return status, stdout.replace(old.encode(), new.encode()), \
            {path.replace(old, new): data for path, data in files.items()}
    return change


def usage_name(stdout):
    # The usage text names the program as started: "  <argv[0]> input.wav".
    return re.sub(rb'(?m)^  \S+ (input\.(wav|ptp) )', rb'  kazettor \1', stdout)


def run(command, directory):
    started = time.monotonic()
    with open(directory + '.stderr', 'wb') as stderr:
        done = subprocess.run(command, cwd=directory, stdout=subprocess.PIPE, stderr=stderr,
                              stdin=subprocess.DEVNULL, timeout=600)
    return done.returncode, done.stdout, time.monotonic() - started


def prepare(directory, inputs):
    shutil.rmtree(directory, ignore_errors=True)
    os.makedirs(directory)
    for path, data in inputs.items():
        os.makedirs(os.path.dirname(os.path.join(directory, path)), exist_ok=True)
        if callable(data):
            data(directory)
        else:
            with open(os.path.join(directory, path), 'wb') as f:
                f.write(data)


def tree(directory):
    """Every directory and file under it: path -> None or the file's digest."""
    found = {}
    for parent, dirs, files in os.walk(directory):
        for name in dirs:
            found[os.path.relpath(os.path.join(parent, name), directory) + '/'] = None
        for name in files:
            digest = hashlib.sha256()
            with open(os.path.join(parent, name), 'rb') as f:
                for piece in iter(lambda: f.read(1 << 20), b''):
                    digest.update(piece)
            found[os.path.relpath(os.path.join(parent, name), directory)] = \
                (os.path.getsize(os.path.join(parent, name)), digest.hexdigest())
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--native', required=True, help='the native Linux kazettor')
    parser.add_argument('--wine', required=True, help='the wine loader')
    parser.add_argument('--exe', required=True, help='the Windows kazettor.exe')
    parser.add_argument('--work', required=True, help='the work directory')
    parser.add_argument('--root', required=True, help='the repository (examples/, fuzz/corpus/)')
    parser.add_argument('--large', action='store_true',
                        help='add the cases with files of more than 2 GiB')
    parser.add_argument('--only', metavar='REGEX', help='run only the cases whose name matches')
    options = parser.parse_args()
    check = Check(options.native, options.wine, options.exe, options.work, options.root, options.large)
    check.make_cases()
    return check.run(options.only)


if __name__ == '__main__':
    sys.exit(main())
