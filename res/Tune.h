// The background tune: a Standard MIDI File held as constant data. The setup
// writes these bytes to a temporary file and plays it through MCI in a loop.
#pragma once

extern const unsigned char kTune[];
extern const unsigned kTuneSize;
