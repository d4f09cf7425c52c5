#include "framework/CWinApp.h"

int main(int argc, char** argv)
{
    return RunWinApp(argc, argv);
}
