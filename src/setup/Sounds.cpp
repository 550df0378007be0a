#include "Sounds.h"

#include <mmsystem.h>

#include "Setup.h"
#include "SetupLogic.h"
#include "SystemLibrary.h"
#include "Texts.h"
#include "Tune.h"

std::string MusicFilePath;

namespace {

typedef UINT(WINAPI* PMciSendStringA)(LPCSTR command, LPSTR answer, UINT answerLength, HWND notify);
// Resolved when the music starts; null when it is not available.
PMciSendStringA MciSendString = nullptr;

typedef BOOL(WINAPI* PPlaySoundA)(LPCSTR sound, HMODULE module, DWORD flags);
typedef UINT(WINAPI* PMidiOutSetVolume)(HMIDIOUT device, DWORD volume);
typedef UINT(WINAPI* PMidiOutGetNumDevs)();

HMODULE SoundLibrary = nullptr;
PPlaySoundA PlaySoundFunction = nullptr;
PMidiOutSetVolume SetVolumeFunction = nullptr;
PMidiOutGetNumDevs DeviceCountFunction = nullptr;

const char kMusicFileName[] = "_vtsetup.mid";

bool WriteTune(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, kTune, kTuneSize, &written, nullptr) && written == kTuneSize;
  return CloseHandle(file) && ok;
}

}  // namespace

void StartSounds() {
  // From the system folder only: a "winmm.dll" beside a downloaded setup is a
  // stranger's.
  SoundLibrary = LoadSystemLibrary("winmm.dll");
  PlaySoundFunction = LibraryFunction<PPlaySoundA>(SoundLibrary, "PlaySoundA");
  SetVolumeFunction = LibraryFunction<PMidiOutSetVolume>(SoundLibrary, "midiOutSetVolume");
  DeviceCountFunction = LibraryFunction<PMidiOutGetNumDevs>(SoundLibrary, "midiOutGetNumDevs");
}

void EndSounds() {
  if (SoundLibrary) FreeLibrary(SoundLibrary);
  SoundLibrary = nullptr;
  PlaySoundFunction = nullptr;
  SetVolumeFunction = nullptr;
  DeviceCountFunction = nullptr;
}

void PlayResourceSound(const char* name) {
  if (PlaySoundFunction) PlaySoundFunction(name, GetModuleHandleA(nullptr), SND_RESOURCE | SND_ASYNC);
}

void SetMidiVolume(DWORD volume) {
  if (!SetVolumeFunction || !DeviceCountFunction) return;
  const UINT count = DeviceCountFunction();
  // The device number stands where the function takes a handle.
  for (UINT device = 0; device < count; ++device)
    SetVolumeFunction(reinterpret_cast<HMIDIOUT>(static_cast<UINT_PTR>(device)), volume);
}

void SetMusicVolume(int level) { SetMidiVolume(MusicVolumeWord(level)); }

void SendMusicCommand(const char* command, HWND notify) {
  if (MciSendString) MciSendString(command, nullptr, 0, notify);
}

void StartBackgroundMusic() {
  // A reference of its own, kept until the process ends: the tune may still be
  // closed during the clean-up after the module's end.
  HMODULE library = LoadSystemLibrary("winmm.dll");
  MciSendString = LibraryFunction<PMciSendStringA>(library, "mciSendStringA");
  if (MciSendString) {
    char folder[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, folder);
    MusicFilePath = std::string(folder, length > 0 && length < MAX_PATH ? length : 0) + kMusicFileName;
    if (WriteTune(MusicFilePath)) {
      SendMusicCommand(MusicOpenCommand(MusicFilePath).c_str(), nullptr);
      SendMusicCommand(kMusicPlayCommand, BackdropWindow);
    }
  }
  if (StatusWindow) ShowWindow(StatusWindow, SW_SHOWNOACTIVATE);
}

void HandleMusicNotify(WPARAM flags) {
  // Aborted, superseded or failed passes end the music for good.
  if (flags != MCI_NOTIFY_SUCCESSFUL || !MciSendString) return;
  SendMusicCommand(kMusicRewindCommand, nullptr);
  SendMusicCommand(kMusicPlayCommand, BackdropWindow);
}
