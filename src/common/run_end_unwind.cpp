#include <cstdio>

#include "common/run_end.h"

void endRun(int status) {
    std::fflush(stdout);
    throw RunEnded{status};
}
