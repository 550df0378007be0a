// The setup program's entry. The setup sequence grows here; for now the program
// runs its start-up steps, shows nothing and ends with exit code 0.
#include <windows.h>

#include "Global.h"
#include "ShellLinks.h"
#include "SystemLibrary.h"
#include "VhUnZip.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything can load a library on the setup's behalf.
  RestrictLibrarySearchToSystem();

  // Start-up steps, in this order; their values are read-only afterwards.
  LocateShellFolders();
  ProbeEnvironment();
  // Still to come here: the sound module's start (it loads the multimedia
  // library).
  PreparePayloadMarker();
  // Then the setup sequence itself.
  return 0;
}
