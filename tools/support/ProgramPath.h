// Where the programs built beside each other find one another.
#pragma once
#include <string>

// The file `fileName` in the folder of the running executable.
std::wstring PathBesideThisProgram(const wchar_t* fileName);
