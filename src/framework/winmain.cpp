// The program entry point: hands over to the application object.
#include <windows.h>

#include "framework/app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return quillon::RunApplication(instance);
}
