#pragma once

// The usage text; both "%s" take the name the program was started under.
extern const char* const kUsageText;
