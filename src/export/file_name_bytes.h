// File names between Qt and the C and C++ libraries that take them as bytes.
// POSIX hands the bytes to the kernel as they are; Windows reads narrow names in
// the ANSI code page, which has no code for most names outside its own script, so
// on Windows the bytes are UTF-8 and every open goes through a wide name.
#pragma once

#include <QString>

#include <filesystem>
#include <string>

// The bytes for `path`: the file system's encoding on POSIX, UTF-8 on Windows.
std::string fileNameBytes(const QString& path);

std::string fileNameBytes(const std::filesystem::path& path);

// What std::filesystem and the C++ streams need for a name from FileNameBytes.
std::filesystem::path fileSystemPath(const std::string& bytes);

// A name that fopen() in a C library opens for the file named by `bytes` (which
// need not exist yet; its folder must). On Windows: the ANSI form when the code
// page has every character, else the 8.3 short name of the file or of its folder
// (when the file's own name fits the code page). Empty when there is none; then
// the caller works on a copy under narrowTemporaryFolder().
std::string narrowFileName(const std::string& bytes);

// A folder for such copies whose own narrow name works, or empty.
QString narrowTemporaryFolder();
