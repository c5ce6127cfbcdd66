// zephkeys.exe: the launch-button monitor in the notification area.
#include "app/zephra_app.h"

namespace {
zeph::CZephraApp theApp;
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return zeph::AppMain(instance); }
