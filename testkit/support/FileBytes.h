#pragma once
#include <map>
#include <string>

// The whole content of a file; empty when it cannot be read.
std::string FileBytes(const std::wstring& path);

// Every file below a folder, keyed by its path relative to the folder
// ("sub\name"), with its bytes.
std::map<std::wstring, std::string> FilesBelow(const std::wstring& root);
