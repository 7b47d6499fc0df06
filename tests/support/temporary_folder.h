// A fresh folder for a test's files, which the test removes itself.
#pragma once

#include <filesystem>
#include <string>

// A new empty folder in the system's temporary folder, named PREFIX-XXXXXX;
// empty when none could be made.
std::filesystem::path makeTemporaryFolder(const std::string& prefix);
