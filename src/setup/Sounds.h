// The setup's sounds: voice clips from the program's resources, the volume of
// the MIDI devices and the looping background tune. The multimedia library is
// loaded at run time from the system folder; every service quietly does
// nothing when the library or one of its functions is missing.
#pragma once
#include <windows.h>

#include <string>

// The tune's temporary file; empty until the music starts.
extern std::string MusicFilePath;

// Module start and end: load the library and its three functions, release it.
void StartSounds();
void EndSounds();
// Plays a WAVE resource of the program asynchronously; a later clip replaces it.
void PlayResourceSound(const char* name);
// Sets every MIDI output device to the volume word (left channel low half).
void SetMidiVolume(DWORD volume);
// Level 0 to 255 on both channels.
void SetMusicVolume(int level);
// Writes the tune to the temporary folder and plays it with the backdrop as
// the notification window; shows the status window in every case.
void StartBackgroundMusic();
// Sends an MCI command string when the function is available; no answer.
void SendMusicCommand(const char* command, HWND notify);
// The backdrop's multimedia notification: a pass that ended normally starts again.
void HandleMusicNotify(WPARAM flags);
