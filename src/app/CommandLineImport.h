#pragma once
// `ravo --import FILE --into TABLE …`: the import runs without a window and
// without signing in, and the program ends with its exit code.

// The import's exit code, or -1 when the arguments ask for no import.
int runCommandLineImport(int argc, char* argv[]);
