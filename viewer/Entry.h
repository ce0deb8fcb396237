#pragma once

#include <string>
#include <vector>

// The program's entry: answers a help request, finds the scene file, fills the settings
// record, checks the file, and runs the viewer inside the error trap. Returns the process
// exit code: 1 after a normal end and after help, 0 when the file cannot be opened or after
// an engine error was shown, 3 for steps this build does not have yet.
int ViewerMain(const std::vector<std::string>& args);
