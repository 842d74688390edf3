#include "gui/main/AppStart.h"

int main(int argc, char** argv) { return wm::RunWmsetup(argc, argv); }
