#include "common/path_base.h"

std::string pathBase;
