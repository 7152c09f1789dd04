#!/usr/bin/env python3
"""Plants fine faults drawn at random in the rescue decoder and runs the tests against each.

The faults of scripts/mutation_check.py are the project's own list, written
beside the tests; this draws its faults from the code itself, so that the
list's blind spots show. Each fault is one small edit on one line of a file
of src/rescue/: a comparison made laxer or stricter (< and <=, > and >=),
&& and || swapped, an integer constant one up or down, a decimal one 10 %
up or down, a ! dropped, a + 1 or - 1 dropped. Lines that are comments or
preprocessor lines are left alone. The seed is fresh unless given, and
printed; with the same seed and sources the same faults are drawn.

    scripts/random_faults.py [--seed S] [--count N] [--files a.cpp,b.cpp] [--scratch DIR]
    scripts/random_faults.py --replay RESULTS.jsonl [--scratch DIR]

Each fault's outcome (killed or survived) is printed and appended, as a JSON
line, to DIR/results.jsonl; --replay runs the faults of such a file again
on the sources as they are now (found by the text of their line). A
surviving fault is not always a gap in the tests: some change nothing the
program does (an initial value that is always overwritten, a comparison of
two doubles that are never equal). Standard library only; uses the build
and test steps of mutation_check.py.
"""
import argparse
import json
import os
import random
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mutation_check  # noqa: E402

REPOSITORY = os.path.abspath(os.path.join(os.path.dirname(__file__), '..'))
FOLDER = 'src/rescue'


def edits_of(code, rng):
    """The edits a line of code offers: (start, end, replacement, what)."""
    edits = []
    for m in re.finditer(r'(?<![<>=!-])(<=|>=|<|>)(?![<>=])', code):
        near = code[max(0, m.start() - 20):m.end() + 5]
        if 'static_cast' in near or 'std::' in code[m.end():m.end() + 6] or 'vector' in near or 'array' in near:
            continue  # a template's brackets
        swapped = {'<': '<=', '<=': '<', '>': '>=', '>=': '>'}[m.group(1)]
        edits.append((m.start(), m.end(), swapped, '%s to %s' % (m.group(1), swapped)))
    for operator, other in (('&&', '||'), ('||', '&&')):
        for m in re.finditer(re.escape(operator), code):
            edits.append((m.start(), m.end(), other, '%s to %s' % (operator, other)))
    for m in re.finditer(r'(?<![\w.])(\d+\.\d+|\d+)(?![\w.])', code):
        value = m.group(1)
        if '.' in value:
            changed = repr(round(float(value) * rng.choice([0.9, 1.1]), 6))  # (0.0 stays 0.0: skipped when run)
        else:
            changed = str(int(value) + rng.choice([-1, 1])) if int(value) > 0 else '1'
        edits.append((m.start(), m.end(), changed, '%s to %s' % (value, changed)))
    for m in re.finditer(r'!(?!=)', code):
        edits.append((m.start(), m.end(), '', '! dropped'))
    for m in re.finditer(r' ([+-]) 1(?![\d.])', code):
        edits.append((m.start(), m.end(), '', '%s 1 dropped' % m.group(1)))
    return edits


def drawn(seed, files, root=REPOSITORY):
    rng = random.Random(seed)
    faults = []
    for name in sorted(os.listdir(os.path.join(root, FOLDER))):
        if not name.endswith('.cpp') or (files and name not in files):
            continue
        with open(os.path.join(root, FOLDER, name), encoding='utf-8') as source:
            lines = source.read().split('\n')
        for number, line in enumerate(lines):
            stripped = line.strip()
            if not stripped or stripped.startswith(('//', '#', '*')):
                continue
            code = line.split('//')[0]
            for start, end, replacement, what in edits_of(code, rng):
                faults.append({'file': name, 'before': stripped,
                               'after': (line[:start] + replacement + line[end:]).strip(), 'what': what})
    rng.shuffle(faults)
    return faults


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--seed', type=int, default=None)
    parser.add_argument('--count', type=int, default=40)
    parser.add_argument('--files', default='', help='comma-separated names in src/rescue (default: all)')
    parser.add_argument('--replay', default='', help='a results.jsonl whose faults to run again')
    parser.add_argument('--scratch', default='/tmp/kazettor_random_faults')
    args = parser.parse_args()
    if args.replay:
        with open(args.replay, encoding='utf-8') as replayed:
            faults = [json.loads(line) for line in replayed]
        count = len(faults)
    else:
        seed = args.seed if args.seed is not None else random.SystemRandom().randrange(2 ** 32)
        print('random faults: seed %d' % seed, flush=True)
        faults, count = drawn(seed, set(filter(None, args.files.split(',')))), args.count
    tree = os.path.join(args.scratch, 'tree')
    os.makedirs(tree, exist_ok=True)
    mutation_check.copy_tree(REPOSITORY, tree)
    mutation_check.configure(tree)
    if mutation_check.build(tree).returncode != 0 or mutation_check.test(tree, 60).returncode != 0:
        print('The unmutated copy does not build or pass its tests.')
        return 1
    done = killed = 0
    with open(os.path.join(args.scratch, 'results.jsonl'), 'a', encoding='utf-8') as results:
        for fault in faults:
            if done >= count:
                break
            path = os.path.join(tree, FOLDER, fault['file'])
            with open(path, encoding='utf-8') as source:
                original = source.read()
            lines = original.split('\n')
            at = [i for i, line in enumerate(lines) if line.strip() == fault['before']]
            if fault['after'] == fault['before']:
                continue
            if len(at) != 1:
                print('skipped (its line is not there once): %s: %s' % (fault['file'], fault['before'][:80]))
                continue
            indent = lines[at[0]][:len(lines[at[0]]) - len(lines[at[0]].lstrip())]
            lines[at[0]] = indent + fault['after']
            try:
                with open(path, 'w', encoding='utf-8') as out:
                    out.write('\n'.join(lines))
                if mutation_check.build(tree).returncode != 0:
                    continue  # a fault that does not compile is no fault
                outcome = 'killed' if mutation_check.test(tree, 60).returncode != 0 else 'survived'
            finally:
                with open(path, 'w', encoding='utf-8') as out:
                    out.write(original)
            done += 1
            killed += outcome == 'killed'
            results.write(json.dumps(dict(fault, outcome=outcome), ensure_ascii=False) + '\n')
            results.flush()
            print('%3d %-8s %s:%d %s | %s' % (done, outcome, fault['file'], at[0] + 1, fault.get('what', ''),
                                              fault['before'][:100]), flush=True)
    mutation_check.build(tree)
    print('%d of %d faults killed (%.0f %%)' % (killed, done, 100.0 * killed / done if done else 0))
    return 0


if __name__ == '__main__':
    sys.exit(main())
