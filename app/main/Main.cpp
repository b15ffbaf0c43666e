// The program: its one application object, run by the framework.
#include "app/OrvantisApp.h"

COrvantisApp theApp;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return AfxWinMain(); }
