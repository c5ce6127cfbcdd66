// A stand-in for a started program: appends its command line to a file and
// ends, so tests can see exactly what was started.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (FILE* f = std::fopen("C:\\zeph-started.txt", "a")) {
    std::fprintf(f, "%s\n", GetCommandLineA());
    std::fclose(f);
  }
  return 0;
}
