#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// The file layer every file open in the program goes through. Scene files and texture names
// made on Windows carry '\' separators and letter case that differs from the files on disk:
// both '\' and '/' separate here, and when a path does not exist as written, a file whose
// name differs only in letter case is found.

// The path with '\' turned into '/', each component matched case-insensitively where the
// exact name does not exist. When nothing matches, the separator-converted path is returned.
std::string ResolvePath(std::string_view path);

// fopen through ResolvePath. For writing, the folder is resolved and an existing file whose
// name differs only in case is reused, so a save does not leave two files side by side.
// Only regular files are opened: a directory, named pipe, socket or device gives null at once
// (never blocks), as a missing file does; IsNonRegularFile tells the two apart for messages.
FILE* OpenFile(const char* path, const char* mode);

// True when path exists but is no regular file (a directory, pipe, socket or device).
bool IsNonRegularFile(const char* path);

bool FileExists(const char* path);
bool IsDirectory(const char* path);

// Reads the whole file; false when it cannot be opened or read.
bool ReadWholeFile(const char* path, std::vector<unsigned char>& out);

// The name after the last '\' or '/', and the part before it (without the separator;
// empty when there is none).
std::string_view FileNamePart(std::string_view path);
std::string_view DirectoryPart(std::string_view path);

// Joins a folder and a name with '/', leaving the name alone when the folder is empty.
std::string JoinPath(std::string_view folder, std::string_view name);
