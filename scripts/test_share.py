#!/usr/bin/env python3
"""The tests' share of the program: non-blank lines that are not only a
// comment, in the .cpp and .h files under tests/ (support and literal
twins included) against those under src/.

    scripts/test_share.py [ROOT]
"""
import os
import sys


def count(root):
    lines = 0
    for directory, _, files in os.walk(root):
        for name in files:
            if name.endswith(('.cpp', '.h')):
                with open(os.path.join(directory, name), encoding='utf-8') as source:
                    lines += sum(1 for line in source if line.strip() and not line.strip().startswith('//'))
    return lines


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..')
    program, tests = count(os.path.join(root, 'src')), count(os.path.join(root, 'tests'))
    print(f'tests {tests:,} lines, program {program:,} lines: {100 * tests / program:.1f} %')


if __name__ == '__main__':
    main()
