#!/usr/bin/env bash
# Mutation check of the test suite, run by hand (it takes about an hour on two
# cores): plants each fault of the list in scripts/mutation_check.py in a
# scratch copy of the repository, builds it and runs the tests; prints the
# faults killed and survived per file and the score, and fails below 90 %.
# The working tree is never modified.
#
#   scripts/mutation-check.sh [--scratch DIR] [--only TEXT] [--list] [--verbose]
#
# --scratch: the copy and its build (default /tmp/kazettor_mutants, kept for
# the next run); --only: the mutants whose file or description holds TEXT (repeatable: any);
# --list: print the mutants and check that their texts are still in src/.
# Needs python3, cmake, g++ and GoogleTest, as the tests do.
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 scripts/mutation_check.py "$@"
