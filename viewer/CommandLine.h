#pragma once

#include <string>
#include <vector>

// The option words of the viewer's command line. The command line is one text of words
// separated by blanks; options are matched without regard to case.

// 1 when some word equals the option name, else 0.
int HasOption(const char* commandLine, const char* option);

// 1 and the value when the first word beginning with the option name continues with ':' or
// '=' and a value; else 0 and the result untouched. Integers: an optional '-' and up to 10
// digits (a longer value, or one with other characters, reads as 0; values beyond the
// 32-bit range saturate). Floats: a decimal literal of at most 31 characters; text that is no
// finite number within float range reads as 0.0.
int GetIntOption(const char* commandLine, const char* option, int* result);
int GetFloatOption(const char* commandLine, const char* option, float* result);

// Copies the file argument (the first word that starts with a printable character other than
// '/', quotes removed, at most 255 characters) into buffer (256 bytes); returns its word
// number, or -1 when there is none.
int GetFileArgument(const char* commandLine, char* buffer);

// The program's arguments as this platform delivers them (already split). An element is an
// option when it begins with '-', or when it begins with '/', contains no further '/' and
// names no existing file; a leading "--" or "-" becomes "/". The first element that is not
// an option is the scene path, taken literally; later ones are set aside (a path-like word in
// the command line could otherwise hide a later option such as "/t:2").
struct SplitArguments {
    std::string commandLine; // the option words joined by single blanks
    std::string scenePath;   // empty when no element names a scene
    bool hasScenePath = false;
    std::vector<std::string> ignored; // further elements that are no options
};
SplitArguments SplitProgramArguments(const std::vector<std::string>& args);
