#include "common/path_base.h"

std::string pathBase;

void setPathBase(const std::string& path) { pathBase = path.substr(0, path.find('.')); }
