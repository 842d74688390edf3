#include <QCoreApplication>

#include "wmctl.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv); // no display needed
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return wm::RunWmctl(args, QCoreApplication::applicationDirPath().toStdString());
}
