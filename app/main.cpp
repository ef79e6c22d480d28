// Process entry of the setup program.
#include <windows.h>

#include "app/setup_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) { return SetupMain(instance); }
