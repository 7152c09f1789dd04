#!/usr/bin/env python3
"""Reads WAV files as real audio tools write them (standard library only).

Called by scripts/real-wav-check.sh. Converts the shipped example recording
with sox, ffmpeg, sndfile-convert and Python's wave module into every width
and layout they write (8 to 32 bits, WAVE_FORMAT_EXTENSIBLE, LIST, bext and
fact chunks, odd data sizes, 48 and 96 kHz, a streamed file with unknown
sizes, stereo), decodes each with kazettor and checks that the program comes
out byte for byte as examples/hello.ptp. Float files and stereo files
without -c must be refused with the format message.
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import wave

REFUSED = 'A WAV file csak PCM mono 8/16/24/32-bites lehet.\n'


def conversions():
    """(name, command list or python callable, kazettor options, expect refusal)."""
    src = 'source.wav'
    rows = []
    for bits in (8, 16, 24, 32):
        rows.append(('sox_%d' % bits, [['sox', '-R', '-V1', src, '-b', str(bits), 'sox_%d.wav' % bits]], [], False))
    rows += [
        ('sox_96k_24', [['sox', '-R', '-V1', src, '-b', '24', 'sox_96k_24.wav', 'rate', '96000']], [], False),
        ('sox_48k_32', [['sox', '-R', '-V1', src, '-b', '32', 'sox_48k_32.wav', 'rate', '48000']], [], False),
        ('sox_stereo_c1', [['sox', '-R', '-V1', src, 'sox_stereo_c1.wav', 'channels', '2']], ['-c', '1'], False),
        ('sox_stereo_c2', [['sox', '-R', '-V1', src, '-b', '24', 'sox_stereo_c2.wav', 'channels', '2']],
         ['-c', '2'], False),
        ('sox_stereo', [['sox', '-R', '-V1', src, 'sox_stereo.wav', 'channels', '2']], [], True),
        ('sox_float', [['sox', '-R', '-V1', src, '-e', 'floating-point', '-b', '32', 'sox_float.wav']], [], True),
    ]
    for codec in ('pcm_u8', 'pcm_s16le', 'pcm_s24le', 'pcm_s32le'):
        name = 'ffmpeg_' + codec
        rows.append((name, [ffmpeg(src, name + '.wav', '-c:a', codec)], [], False))
    rows += [
        ('ffmpeg_96k_s24', [ffmpeg(src, 'ffmpeg_96k_s24.wav', '-ar', '96000', '-c:a', 'pcm_s24le')], [], False),
        ('ffmpeg_bext_s24', [ffmpeg(src, 'ffmpeg_bext_s24.wav', '-write_bext', '1', '-c:a', 'pcm_s24le')], [],
         False),
        ('ffmpeg_stereo_c2', [ffmpeg(src, 'ffmpeg_stereo_c2.wav', '-ac', '2', '-c:a', 'pcm_s24le')], ['-c2'], False),
        ('ffmpeg_stereo', [ffmpeg(src, 'ffmpeg_stereo.wav', '-ac', '2')], [], True),
        ('ffmpeg_float', [ffmpeg(src, 'ffmpeg_float.wav', '-c:a', 'pcm_f32le')], [], True),
        ('ffmpeg_streamed', 'streamed', [], False),
    ]
    for option in ('-pcmu8', '-pcm16', '-pcm24', '-pcm32'):
        name = 'sndfile' + option.replace('-', '_')
        rows.append((name, [['sndfile-convert', option, src, name + '.wav']], [], False))
    rows.append(('sndfile_float', [['sndfile-convert', '-float32', src, 'sndfile_float.wav']], [], True))
    rows.append(('python_wave_8', 'wave8', [], False))
    return rows


def ffmpeg(source, target, *arguments):
    return ['ffmpeg', '-loglevel', 'error', '-y', '-i', source] + list(arguments) + [target]


def streamed(target):
    """ffmpeg writing to a pipe cannot go back to fill in the sizes."""
    with open(target, 'wb') as out:
        subprocess.run(ffmpeg('source.wav', '-', '-c:a', 'pcm_s24le', '-f', 'wav'), stdout=out, check=True)


def python_wave_8(target):
    """Python's wave module, 8 bits: the top byte of each 16-bit sample, unsigned."""
    with wave.open('source.wav', 'rb') as source:
        frames = source.readframes(source.getnframes())
        rate = source.getframerate()
    samples = struct.unpack('<%dh' % (len(frames) // 2), frames)
    with wave.open(target, 'wb') as out:
        out.setnchannels(1)
        out.setsampwidth(1)
        out.setframerate(rate)
        out.writeframes(bytes(((s >> 8) + 128) & 0xFF for s in samples))


def layout(path):
    """The chunks of a RIFF file, for the report: fmt tag, width and rate, and the chunk order."""
    with open(path, 'rb') as f:
        raw = f.read()
    at, parts = 12, []
    while at + 8 <= len(raw):
        tag, size = raw[at:at + 4].decode('latin-1'), struct.unpack('<I', raw[at + 4:at + 8])[0]
        if tag == 'fmt ':
            fmt, channels, rate = struct.unpack('<HHI', raw[at + 8:at + 16])
            bits = struct.unpack('<H', raw[at + 22:at + 24])[0]
            parts.append('fmt %d (0x%x, %d ch, %d Hz, %d bits)' % (size, fmt, channels, rate, bits))
        else:
            parts.append('%s %d' % (tag.strip(), size))
        if size == 0xFFFFFFFF:
            break
        at += 8 + size + (size & 1)
    return ', '.join(parts)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--kazettor', required=True)
    parser.add_argument('--work', required=True)
    parser.add_argument('--recording', required=True)
    parser.add_argument('--image', required=True)
    args = parser.parse_args()
    kazettor = os.path.abspath(args.kazettor)
    with open(args.image, 'rb') as f:
        image = f.read()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    shutil.copyfile(args.recording, os.path.join(args.work, 'source.wav'))
    os.chdir(args.work)

    failures = 0
    for name, how, options, refused in conversions():
        target = name + '.wav'
        if how == 'streamed':
            streamed(target)
        elif how == 'wave8':
            python_wave_8(target)
        else:
            for command in how:
                subprocess.run(command, check=True)
        run = subprocess.run([kazettor, target] + options, capture_output=True, text=True)
        if refused:
            ok = run.returncode == 1 and run.stdout == REFUSED and not os.path.exists(name)
            result = 'refused' if ok else 'NOT REFUSED (status %d)' % run.returncode
        else:
            decoded = os.path.join(name, '01_HELLO.ptp')
            ok = run.returncode == 0 and os.path.exists(decoded) and open(decoded, 'rb').read() == image
            result = 'decoded exactly' if ok else 'WRONG (status %d)' % run.returncode
        failures += not ok
        print('%-22s %-8s %-48s %s' % (name, ' '.join(options), layout(target), result))
        if not ok:
            print(run.stdout[-2000:])
    print('%d of %d files read as expected' % (len(conversions()) - failures, len(conversions())))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
