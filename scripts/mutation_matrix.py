#!/usr/bin/env python3
"""Which tests kill which planted faults: reads the file that
`mutation_check.py --matrix FILE` writes (a JSON line per fault, the tests
that failed on it) and prints, per test, its lines, the faults it kills and
those no other test kills. A test that kills nothing alone is covered by the
others as far as the faults go; it may still be the only proof of a
behaviour no fault is planted in.

    scripts/mutation_matrix.py MATRIX.jsonl
"""
import collections
import glob
import json
import os
import re
import sys


def test_lines(directory):
    """Non-blank, non-comment lines of each TEST, up to the next one."""
    lines, current = {}, None
    for path in sorted(glob.glob(os.path.join(directory, '*.cpp'))):
        current = None
        for line in open(path, encoding='utf-8'):
            found = re.match(r'TEST(?:_F)?\((\w+), (\w+)\)', line)
            if found:
                current = found.group(1) + '.' + found.group(2)
                lines[current] = 0
            text = line.strip()
            if current and text and not text.startswith('//'):
                lines[current] += 1
    return lines


def main():
    rows = [json.loads(line) for line in open(sys.argv[1], encoding='utf-8')]
    kills, alone = collections.defaultdict(int), collections.Counter()
    for row in rows:
        for name in row['failed']:
            kills[name] += 1
        if len(row['failed']) == 1:
            alone[row['failed'][0]] += 1
    killed = sum(1 for row in rows if row['failed'])
    print('%d faults, %d killed' % (len(rows), killed))
    tests = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests')
    print('lines  kills  alone  test')
    for name, count in sorted(test_lines(tests).items(), key=lambda item: (alone[item[0]], -item[1])):
        print('%5d  %5d  %5d  %s' % (count, kills[name], alone[name], name))
    return 0


if __name__ == '__main__':
    sys.exit(main())
