// The program's entry point; everything else lives in the library, which
// the tests link without it.
#include <windows.h>

#include "app/application_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    return runApplication(instance, showCommand, GetCommandLineW());
}
