// vhzip: builds and inspects the setup's payload archives and delta patches.
#include "CommandLine.h"

int main(int argc, char** argv) { return RunCommandLine(argc, argv); }
