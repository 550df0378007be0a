// The setup program's entry. The setup sequence grows here; for now the program
// starts, does nothing visible and ends with exit code 0.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
