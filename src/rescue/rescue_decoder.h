#pragma once

// Decodes a WAV recording of a worn Primo cassette with the rescue decoder
// (-r I): the same outputs as the default decoder (the numbered program
// files, the cleaned signal, the console lines), blocks marked O, J
// (repaired) or X, and a damage report at the end. See rescue/rescue_state.h.
void rescueWavFile(const char* path);

// True when the options ask for the rescue decoder: -r with a value that
// starts with I or i.
bool rescueRequested();
