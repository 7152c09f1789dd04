#!/usr/bin/env python3
"""Round-trips random recordings through lossy codecs and judges both decoders on them.

Called by scripts/codec-check.sh (standard library only). For each recording:
worn_tape_sim --write-only writes a recording of random programs (moderate
damage or none, drawn) and its truth; ffmpeg encodes it with a codec, bit
rate and channel layout drawn at random, resampling where the codec needs it,
and decodes it back to a 16-bit WAV (the left channel of a stereo result);
worn_tape_sim --evaluate decodes that with the default decoder and with -r I
and compares every block with the truth, and every program file. Prints one
line per recording and the totals; ends with status 1 where a block marked O
or J was wrong.
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

# name: (ffmpeg encoder, file extension, bit rates in kbit/s, sample rates it takes or None for any)
CODECS = {
    'mp3': ('libmp3lame', 'mp3', [320, 256, 224, 192, 160, 128, 112, 96, 80, 64, 56, 48, 40, 32],
            [8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000]),
    'aac': ('aac', 'm4a', [256, 224, 192, 160, 128, 112, 96, 80, 64, 56, 48, 40, 32],
            [7350, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 64000, 88200, 96000]),
    'vorbis': ('libvorbis', 'ogg', [256, 224, 192, 160, 128, 112, 96, 80, 64, 48], None),
    'opus': ('libopus', 'opus', [128, 96, 80, 64, 48, 40, 32, 24, 20, 16, 12], [48000]),
}
# Vorbis is asked for a quality, not a bit rate: the quality whose nominal
# rate (44.1 kHz stereo) is the one drawn.
VORBIS_QUALITY = {256: 8, 224: 7, 192: 6, 160: 5, 128: 4, 112: 3, 96: 2, 80: 1, 64: 0, 48: -1}

OUTCOME = re.compile(r'(default|-r I) (\d+)/(\d+) \(O(\d+) J(\d+) X(\d+)\) X(\d+) wrong(\d+) copies(\d+) '
                     r'exact(\d+)/(\d+) ([\d.]+)s')
HEAD = re.compile(r'seed (\d+) (\w+) (\d+) Hz ([^,]+), (\d+) programs?, (\d+) blocks, (\d+) s \|(.*?) \| default')


def ffmpeg(*arguments):
    subprocess.run(['ffmpeg', '-nostdin', '-hide_banner', '-loglevel', 'error', '-y'] + list(arguments),
                   check=True)


def wav_format(path):
    """(sample rate, bytes per sample) of a canonical mono WAV."""
    with open(path, 'rb') as f:
        header = f.read(44)
    return int.from_bytes(header[24:28], 'little'), int.from_bytes(header[34:36], 'little') // 8


def nearest_rate(rate, rates):
    """The rate itself where the codec takes it, else the nearest one it takes."""
    if rates is None or rate in rates:
        return rate
    return min(rates, key=lambda r: (abs(r - rate), r))


def draw_codec(rng):
    name = rng.choice(sorted(CODECS))
    return name, rng.choice(CODECS[name][2]), rng.choice(['mono', 'joint stereo'])


def round_trip(source, folder, codec, kbits, layout):
    """Encodes source with the codec and decodes it back to a 16-bit mono WAV.
    Returns (decoded WAV, codec's sample rate, measured kbit/s)."""
    encoder, extension, _, rates = CODECS[codec]
    rate, width = wav_format(source)
    codec_rate = nearest_rate(rate, rates)
    encoded = os.path.join(folder, 'encoded.' + extension)
    options = ['-ac', '2'] if layout == 'joint stereo' else ['-ac', '1']
    if codec_rate != rate:
        options += ['-ar', str(codec_rate)]
    options += ['-c:a', encoder]
    if codec == 'vorbis':
        options += ['-q:a', str(VORBIS_QUALITY[kbits])]
    else:
        options += ['-b:a', '%dk' % kbits]
    if codec == 'mp3' and layout == 'joint stereo':
        options += ['-joint_stereo', '1']
    ffmpeg('-i', source, *options, encoded)
    decoded = os.path.join(folder, 'decoded.wav')
    channels = ['-af', 'pan=mono|c0=c0'] if layout == 'joint stereo' else []
    ffmpeg('-i', encoded, *channels, '-c:a', 'pcm_s16le', decoded)
    seconds = (os.path.getsize(source) - 44) / width / rate
    return encoded, decoded, codec_rate, os.path.getsize(encoded) * 8 / seconds / 1000


def parse_outcomes(text):
    found = {}
    for m in OUTCOME.finditer(text):
        found[m.group(1)] = {'right': int(m.group(2)), 'blocks': int(m.group(3)), 'o': int(m.group(4)),
                             'j': int(m.group(5)), 'rx': int(m.group(6)), 'x': int(m.group(7)),
                             'wrong': int(m.group(8)), 'copies': int(m.group(9)), 'exact': int(m.group(10)),
                             'programs': int(m.group(11)), 'seconds': float(m.group(12))}
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--simulator', required=True, help='the worn_tape_sim program')
    parser.add_argument('--recordings', type=int, default=20)
    parser.add_argument('--seed', type=int, default=None, help='default: fresh, printed')
    parser.add_argument('--keep', help='keep the files of recordings where -r I did worse or a mark was wrong')
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else random.SystemRandom().randrange(2 ** 32)
    print('codec check: seed %d, %d recordings (recording #k has the seed %d + k - 1, which draws its '
          'recording and its codec; one again: scripts/codec-check.sh --seed SEED --recordings 1)'
          % (seed, args.recordings, seed), flush=True)
    work = tempfile.mkdtemp(prefix='kazettor_codec_', dir='/dev/shm' if os.path.isdir('/dev/shm') else None)
    if args.keep:
        os.makedirs(args.keep, exist_ok=True)
    totals = {}  # codec: counts
    losses, wrong_marks = [], 0
    copies = {'default': 0, '-r I': 0}  # blocks written more than once, by decoder
    try:
        for k in range(args.recordings):
            recording_seed = (seed + k) % 2 ** 32
            rng = random.Random(recording_seed)
            severity = rng.choice(['none', 'moderate'])
            codec, kbits, layout = draw_codec(rng)
            folder = os.path.join(work, 'r%d' % k)
            os.makedirs(folder)
            subprocess.run([args.simulator, '--write-only', folder, '--recordings', '1', '--seed',
                            str(recording_seed), '--severity', severity], check=True, stdout=subprocess.DEVNULL)
            stem = os.path.join(folder, 'worn_%d' % recording_seed)
            encoded, decoded, codec_rate, measured = round_trip(stem + '.wav', folder, codec, kbits, layout)
            # The decoders print what they read, program names included: any bytes.
            run = subprocess.run([args.simulator, '--evaluate', decoded, stem + '.truth'], capture_output=True,
                                 text=True, errors='replace')
            if run.returncode not in (0, 1):
                sys.exit('worn_tape_sim --evaluate failed:\n' + run.stdout + run.stderr)
            outcomes = parse_outcomes(run.stdout)
            head = HEAD.search(run.stdout)
            plain, rescue = outcomes['default'], outcomes['-r I']
            lost = run.stdout.split(' | LOST ', 1)[1].splitlines()[0] if ' | LOST ' in run.stdout else ''
            setting = 'q%d' % VORBIS_QUALITY[kbits] if codec == 'vorbis' else '%dk' % kbits
            resampled = '' if codec_rate == int(head.group(3)) else ' at %d Hz' % codec_rate
            fewer = rescue['exact'] < plain['exact']
            print('#%d seed %d | %s %s (%.0f kbit/s) %s%s | %s Hz %s, %s:%s | default %d/%d wrong%d exact%d/%d | '
                  '-r I %d/%d J%d wrong%d exact%d%s%s' % (
                      k + 1, recording_seed, codec, setting, measured, layout, resampled, head.group(3),
                      head.group(4), severity, head.group(8), plain['right'], plain['blocks'], plain['wrong'],
                      plain['exact'], plain['programs'], rescue['right'], rescue['blocks'], rescue['j'],
                      rescue['wrong'], rescue['exact'], ' | LOST ' + lost if lost else '',
                      ' | FEWER PROGRAMS' if fewer else ''), flush=True)
            for line in run.stdout.splitlines():
                if line.startswith('!!!'):
                    print('   ' + line, flush=True)
            wrong_marks += plain['wrong'] + rescue['wrong']
            copies['default'] += plain['copies']
            copies['-r I'] += rescue['copies']
            t = totals.setdefault(codec, {'recordings': 0, 'blocks': 0, 'default': 0, 'rescue': 0, 'lost': 0,
                                          'wrong': 0, 'programs': 0, 'exact default': 0, 'exact -r I': 0,
                                          'fewer': 0})
            t['recordings'] += 1
            t['blocks'] += plain['blocks']
            t['default'] += plain['right']
            t['rescue'] += rescue['right']
            t['lost'] += bool(lost)
            t['wrong'] += plain['wrong'] + rescue['wrong']
            t['programs'] += plain['programs']
            t['exact default'] += plain['exact']
            t['exact -r I'] += rescue['exact']
            t['fewer'] += fewer
            if lost:
                losses.append('#%d seed %d (%s %s %s): %s' % (k + 1, recording_seed, codec, setting, layout, lost))
            if args.keep and (lost or plain['wrong'] or rescue['wrong']):
                name = 'codec_%d_%s_%s' % (recording_seed, codec, setting)
                shutil.copyfile(encoded, os.path.join(args.keep, name + os.path.splitext(encoded)[1]))
                shutil.copyfile(decoded, os.path.join(args.keep, name + '.wav'))
                shutil.copyfile(stem + '.truth', os.path.join(args.keep, name + '.truth'))
            shutil.rmtree(folder)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    print('\n== %d recordings, seed %d' % (args.recordings, seed))
    print('%-7s %10s %7s %16s %16s %6s %6s %8s %15s %6s' % (
        'codec', 'recordings', 'blocks', 'right by default', 'right by -r I', 'lost', 'wrong', 'programs',
        'exact (default)', 'fewer'))
    every = {'recordings': 0, 'blocks': 0, 'default': 0, 'rescue': 0, 'lost': 0, 'wrong': 0, 'programs': 0,
             'exact default': 0, 'exact -r I': 0, 'fewer': 0}
    for codec in sorted(totals) + ['all']:
        t = every if codec == 'all' else totals[codec]
        if codec != 'all':
            for key in every:
                every[key] += t[key]
        share = lambda n: '%d (%.1f %%)' % (n, 100.0 * n / t['blocks'] if t['blocks'] else 0)
        print('%-7s %10d %7d %16s %16s %6d %6d %8d %15s %6d' % (
            codec, t['recordings'], t['blocks'], share(t['default']), share(t['rescue']), t['lost'], t['wrong'],
            t['programs'], '%d (%d)' % (t['exact -r I'], t['exact default']), t['fewer']))
    print('-r I wrote fewer exact program files than the default decoder in %d of %d recordings'
          % (every['fewer'], args.recordings))
    print('blocks written more than once: default %d, -r I %d' % (copies['default'], copies['-r I']))
    print('-r I did worse than the default decoder in %d of %d recordings%s' % (
        len(losses), args.recordings, ':' if losses else ''))
    for line in losses:
        print('  ' + line)
    if wrong_marks:
        print('!!! WRONG MARKS: %d (see the lines marked !!! above)' % wrong_marks)
    return 1 if wrong_marks else 0


if __name__ == '__main__':
    sys.exit(main())
