// orbsaver: a 3D screen saver. The switch on the command line picks the run mode.
#include "shell/entry.h"

int main(int argc, char** argv) { return shell::RunProgram(argc, argv); }
