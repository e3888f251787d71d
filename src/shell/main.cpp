#include "shell/TindlewickApp.h"

int main(int argc, char **argv)
{
    return TindlewickApp::run(argc, argv);
}
