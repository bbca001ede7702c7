// Linux: the program's windows, started by `morvantil` when no command-line option asks for
// something else (see main.cpp).
#include "app/WindowsFront.h"
#include "core/Console.h"

int main(int argc, char* argv[])
{
    HardenProcess();
    return RunWithWindows(argc, argv);
}
