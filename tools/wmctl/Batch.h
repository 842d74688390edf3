#pragma once
// wmctl get and put on many meters at once, one meter per serial port.
#include <string>
#include <vector>

namespace wm {

struct BatchRequest {
    std::string settings;           // the settings file, as every command finds it
    std::string programDir;
    bool trace = false;
    std::vector<std::string> ports; // as named: DEVICE or DEVICE@ADDRESS
    int jobs = 0;                   // meters served at once; 0: all
    std::vector<std::string> rest;  // "get -o DIR" or "put FILE [--yes]"
};

// Runs the command on every port, prints the summary on standard output and
// each job's messages on standard error, prefixed with its port. Exit status:
// 0 every meter done, 1 some were not, 2 bad arguments (nothing was started).
int RunBatch(const BatchRequest& request);

} // namespace wm
