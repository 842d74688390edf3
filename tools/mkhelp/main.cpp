// mkhelp SOURCE_FOLDER OUTPUT_FOLDER
// Builds the help file pairs ("Help" + NN + ".S10" / ".R10") from the
// readable help sources; the format is described in help/README.md.
#include <iostream>

#include "help/HelpBuild.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: mkhelp SOURCE_FOLDER OUTPUT_FOLDER\n";
        return 2;
    }
    const wm::HelpBuildResult result = wm::BuildHelpFiles(argv[1], argv[2]);
    if (!result.Ok()) {
        std::cerr << "mkhelp: " << result.Error << '\n';
        return 1;
    }
    std::cout << "mkhelp: wrote " << result.Written.size() << " help files into " << argv[2] << '\n';
    return 0;
}
