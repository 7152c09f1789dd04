#pragma once

// Messages shared by both directions of the program.
inline constexpr const char* kOpenFailedMessage = "Nem sikerült megnyitni a file-t: %s\n";
inline constexpr const char* kWriteFailedMessage = "Nem sikerült írni a file-t: %s\n";
