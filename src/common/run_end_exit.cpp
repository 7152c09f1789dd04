#include <cstdio>
#include <cstdlib>

#include "common/run_end.h"

void endRun(int status) {
    std::fflush(stdout);
    std::exit(status);
}
