#!/usr/bin/env bash
# End-to-end check of the Windows build: runs build-windows/kazettor.exe under
# wine on a set of cases and compares each run with the native Linux build on
# the same inputs: the exit status, the standard output and every file the
# run leaves, byte for byte.
#
# Standard output is compared after turning CRLF into LF: redirected to a
# file, a Windows program's text-mode standard output ends its lines with
# "\r\n". The usage text names the program as it was started (argv[0]), which
# differs between the two; that name is replaced by "kazettor" on both sides.
# Wine's own messages go to standard error, which is not compared.
#
# Needs: build-windows/kazettor.exe (scripts/windows-build.sh; KAZETTOR_EXE=path
# chooses another), wine (64-bit is enough), python3, and the native build:
# build/kazettor, brought up to date here (KAZETTOR_NATIVE=path chooses
# another native binary).
# KAZETTOR_E2E_LARGE=1 adds two cases with files of more than 2 GiB (64-bit
# file positions): a 2.5 GB recording to decode and a 2.4 GB one to encode.
# They need about 10 GB of free disk and 3 GB of memory, and a minute more.
# Usage: scripts/windows-e2e.sh [work directory]   (default build-windows/e2e)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

exe=$(realpath -m "${KAZETTOR_EXE:-build-windows/kazettor.exe}")
[ -f "$exe" ] || { echo "no $exe: run scripts/windows-build.sh first"; exit 2; }

native=${KAZETTOR_NATIVE:-}
if [ -z "$native" ]; then
    [ -f build/CMakeCache.txt ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build -j2 --target kazettor >/dev/null
    native="$root/build/kazettor"
fi
native=$(realpath "$native")

wine=${WINE:-$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)}
[ -x "$wine" ] || { echo "wine not found"; exit 2; }

work=$(realpath -m "${1:-build-windows/e2e}")
# The wine prefix is kept beside the build, so that ~/.wine is left alone and
# a second run does not have to create it again (that takes a few seconds).
export WINEPREFIX="$root/build-windows/wine-prefix"
export WINEDEBUG=-all
# Wine takes the Windows code page from the locale: UTF-8 on the Linux side,
# 1252 as the ANSI code page, whatever this machine's locale is.
export LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree=;mshtml="
mkdir -p "$WINEPREFIX"
"$wine" cmd /c exit >/dev/null 2>&1 || true
# One wine server for all the runs; ended again when the script ends.
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
"$wineserver" -p >/dev/null 2>&1 || true
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT

python3 - "$native" "$wine" "$exe" "$work" "$root" <<'PY'
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import time

native, wine, exe, work, root = sys.argv[1:6]
large = os.environ.get('KAZETTOR_E2E_LARGE') == '1'

# ---------------------------------------------------------------- inputs
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
# A colon, which Windows would take for the start of a stream name.
COLON = image([name_block(b'T:X'), data_block(b'XYZ'), end_block()])
MULTI = HELLO + RAW + NAMELESS + GAME

corpus = os.path.join(root, 'fuzz', 'corpus')


def corpus_file(kind, name):
    # The fuzz targets take their options from the first byte.
    with open(os.path.join(corpus, kind, name), 'rb') as f:
        return f.read()[1:]


def read(path):
    with open(path, 'rb') as f:
        return f.read()


def encode(ptp, options):
    """A recording made by the (native) encoder."""
    scratch = os.path.join(work, '_encode')
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    with open(os.path.join(scratch, 'tape.ptp'), 'wb') as f:
        f.write(ptp)
    subprocess.run([native, 'tape.ptp', *options], cwd=scratch, stdout=subprocess.DEVNULL, check=True)
    data = read(os.path.join(scratch, 'tape.wav'))
    shutil.rmtree(scratch)
    return data


# ---------------------------------------------------------------- cases
# Each case: its name, the arguments (the input path first, relative to the
# case's directory), the files it starts with, and optionally the arguments
# for Windows and how the Linux results change on Windows.
cases = []
skipped = []


def case(name, args, inputs=None, windows_args=None, on_windows=None):
    cases.append((name, args, inputs or {}, windows_args or args, on_windows))


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


os.makedirs(work, exist_ok=True)
hello_ptp = read(os.path.join(root, 'examples', 'hello.ptp'))
hello_tape = read(os.path.join(root, 'examples', 'hello_tape.wav'))
multi22 = encode(MULTI, ['-m22', '-b8'])
multi44 = encode(MULTI, ['-m', '44', '-b', '16', '-f', '10'])
games22 = encode(GAME + HELLO, ['-m22', '-b16', '-f3'])

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
case('stereo_wav', ['stereo.wav'], {'stereo.wav': corpus_file('wav', 'stereo')})

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
for name in sorted(os.listdir(os.path.join(corpus, 'ptp'))):
    case('ptp_corpus_' + name, ['tape.ptp'], {'tape.ptp': corpus_file('ptp', name)})

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
case('wav_accented_name', ['tape.wav'], {'tape.wav': encode(ACCENTED, ['-m22'])})
for name in sorted(os.listdir(os.path.join(corpus, 'wav'))):
    if name != 'stereo':
        case('wav_corpus_' + name, ['rec.wav'], {'rec.wav': corpus_file('wav', name)})

# Windows only: a colon in a program name, which Windows would take for a stream.
case('windows_colon_in_name', ['tape.wav'], {'tape.wav': encode(COLON, ['-m22'])},
     on_windows=named_on_windows('T:X', 'T_X'))

# A path beyond ASCII. Without a manifest that makes UTF-8 its code page, the
# program gets its arguments in the ANSI code page (1252 under wine with
# LC_ALL=C.UTF-8, 1250 on a Hungarian Windows) and prints the path in it; the
# files are the same. A letter that code page lacks (ő) needs the manifest.
utf8_manifest = b'activeCodePage' in read(exe)


def ansi_on_windows(text):
    if utf8_manifest:
        return None
    return printed_on_windows(text, None, text.encode('cp1252'))


case('windows_euro_sign_in_path', ['zene_€.wav'], {'zene_€.wav': multi22},
     on_windows=ansi_on_windows('zene_€'))
if utf8_manifest:
    case('windows_hungarian_path', ['oldal_ő/szalag_ű.wav'], {'oldal_ő/szalag_ű.wav': multi22})
else:
    skipped.append('windows_hungarian_path (no UTF-8 manifest in the .exe)')

if large:
    def large_inputs(directory):
        # A canonical 8-bit mono header at 44100 Hz, then 2.5 GB of silence
        # as a hole in the file.
        header = b'RIFF' + struct.pack('<I', 0) + b'WAVEfmt ' + \
            struct.pack('<IHHIIHH', 16, 1, 1, 44100, 44100, 1, 8) + b'data' + struct.pack('<I', 0)
        with open(os.path.join(directory, 'big.wav'), 'wb') as f:
            f.write(header)
            f.truncate(2_500_000_044)
    case('large_wav_2_5_GB', ['big.wav'], {'big.wav': large_inputs})
    # 4000 full data blocks give a WAV of about 2.4 GB: its length is taken
    # and the header written over at a position past 2 GiB.
    big_ptp = image([name_block(b'BIG')] + [
        data_block(bytes(((i * 31 + j * 17) >> 1) & 0xFF for j in range(256)), i & 0xFF)
        for i in range(4000)] + [end_block()])
    case('large_ptp_to_wav_2_4_GB', ['big.ptp', '-m48', '-b32', '-f99'], {'big.ptp': big_ptp})

# ---------------------------------------------------------------- running


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
                for chunk in iter(lambda: f.read(1 << 20), b''):
                    digest.update(chunk)
            found[os.path.relpath(os.path.join(parent, name), directory)] = \
                (os.path.getsize(os.path.join(parent, name)), digest.hexdigest())
    return found


failures = 0
started = time.monotonic()
wine_seconds = 0.0
for name, args, inputs, windows_args, on_windows in cases:
    base = os.path.join(work, name)
    linux_dir, windows_dir = base + '/linux', base + '/windows'
    prepare(linux_dir, inputs)
    prepare(windows_dir, inputs)
    expected_status, expected_out, _ = run([native, *args], linux_dir)
    status, out, seconds = run([wine, exe, *windows_args], windows_dir)
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
    print(f'{"PASS" if not problems else "FAIL"} {name} (status {status}, {written} files written)')
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

for name in skipped:
    print(f'SKIP {name}')
print(f'{time.monotonic() - started:.0f} s, {wine_seconds:.0f} s of it under wine')
print(f'{len(cases) - failures} passed, {failures} failed, {len(skipped)} skipped')
sys.exit(1 if failures else 0)
PY
