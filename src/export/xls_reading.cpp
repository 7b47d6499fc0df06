#include "export/xls_reading.h"

#include "export/compound_file_check.h"
#include "export/file_name_bytes.h"
#include "export/workbook_reader.h"

#include <freexl.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#ifdef __unix__
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

#ifdef _WIN32
#include <windows.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#endif

namespace {

constexpr const char* kDamaged = "无法读取.xls工作簿（文件损坏或格式不支持）";
constexpr int kXlsReadTimeoutMs = 15000;

void appendBytes(std::string& out, const void* data, size_t size)
{
    out.append(static_cast<const char*>(data), size);
}

#ifdef __unix__
// Reads everything the helper sends until it closes the pipe or the time is up.
bool readUntilClosed(int fd, std::string& out)
{
    char buffer[65536];
    int waitedMs = 0;
    for (;;) {
        pollfd watch{fd, POLLIN, 0};
        const int ready = ::poll(&watch, 1, 100);
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready <= 0) {
            waitedMs += 100;
            if (waitedMs >= kXlsReadTimeoutMs)
                return false;
            continue;
        }
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        out.append(buffer, static_cast<size_t>(got));
    }
}

std::string runningProgramFolder()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : program.parent_path().string();
}

// Starts the helper as a new process (posix_spawn: nothing of this process is
// copied, so threads and locks held here cannot hang it) with its standard output
// on a pipe. Returns the helper's output when it ended normally with status 0.
std::optional<std::string> runHelper(const std::string& helper, const std::string& path)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    std::vector<char*> argv = {const_cast<char*>(helper.c_str()), const_cast<char*>(path.c_str()), nullptr};
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, helper.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        return std::nullopt;
    }
    std::string output;
    const bool complete = readUntilClosed(fds[0], output);
    ::close(fds[0]);
    if (!complete)
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!complete || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return output;
}
#endif

#ifdef _WIN32
// The helper's file name: Windows starts only names with the .exe ending.
const std::string kXlsReaderFile = std::string(kXlsReaderName) + ".exe";

std::string runningProgramFolder()
{
    wchar_t name[32768];
    const DWORD size = GetModuleFileNameW(nullptr, name, DWORD(std::size(name)));
    if (size == 0 || size >= std::size(name))
        return {};
    return fileNameBytes(QFileInfo(QString::fromWCharArray(name, int(size))).absolutePath());
}

// Starts the helper with its standard output read through Qt (Windows has no
// posix_spawn; QProcess starts it with CreateProcessW and a wide command line, so
// any file name reaches it). Returns the output when it ended with status 0.
std::optional<std::string> runHelper(const std::string& helper, const std::string& path)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QString::fromStdString(helper), {QString::fromStdString(path)});
    if (!process.waitForStarted(kXlsReadTimeoutMs))
        return std::nullopt;
    if (!process.waitForFinished(kXlsReadTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput().toStdString();
}
#else
const std::string kXlsReaderFile = kXlsReaderName;
#endif

bool isExecutable([[maybe_unused]] const std::filesystem::path& file)
{
#ifdef __unix__
    return ::access(file.c_str(), X_OK) == 0;
#else
    return true;
#endif
}

} // namespace

XlsCells readXlsInThisProcess(const std::string& path)
{
    XlsCells result;
    // FreeXL trusts the directory's name lengths (see compound_file_check.h).
    std::ifstream file(fileSystemPath(path), std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    // FreeXL opens narrow names only; without one it reads a copy where one works.
    std::string narrow = narrowFileName(path);
#ifdef _WIN32
    QTemporaryDir detour(narrowTemporaryFolder() + QStringLiteral("/ql-rs485-XXXXXX"));
    if (narrow.empty() && detour.isValid()) {
        const QString copy = detour.filePath(QStringLiteral("workbook.xls"));
        if (QFile::copy(QString::fromStdString(path), copy))
            narrow = narrowFileName(fileNameBytes(copy));
    }
#endif
    const void* handle = nullptr;
    if (!file.is_open() || !checkCompoundFileDirectory(bytes).empty() || narrow.empty() ||
        freexl_open(narrow.c_str(), &handle) != FREEXL_OK) {
        if (handle)
            freexl_close(handle);
        result.error = kDamaged;
        return result;
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(handle, 0) != FREEXL_OK ||
        freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK) {
        freexl_close(handle);
        result.error = ".xls工作簿中没有可读的工作表";
        return result;
    }
    for (unsigned int r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue value;
            if (freexl_get_cell_value(handle, r, c, &value) != FREEXL_OK)
                continue;
            std::string text;
            switch (value.type) {
            case FREEXL_CELL_INT:
                text = std::to_string(value.value.int_value);
                break;
            case FREEXL_CELL_DOUBLE:
                text = numberText(value.value.double_value);
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                if (value.value.text_value)
                    text = value.value.text_value;
                break;
            default:
                break;
            }
            if (!text.empty())
                result.cells[{static_cast<int>(r) + 1, c + 1}] = std::move(text);
        }
    }
    freexl_close(handle);
    return result;
}

std::string encodeXlsCells(const XlsCells& read)
{
    std::string out;
    const uint32_t errorSize = static_cast<uint32_t>(read.error.size());
    appendBytes(out, &errorSize, sizeof errorSize);
    out += read.error;
    for (const auto& [position, text] : read.cells) {
        const int32_t header[3] = {position.first, position.second, static_cast<int32_t>(text.size())};
        appendBytes(out, header, sizeof header);
        out += text;
    }
    return out;
}

std::optional<XlsCells> decodeXlsCells(std::string_view data)
{
    XlsCells result;
    size_t at = 0;
    auto take = [&](void* target, size_t size) {
        if (data.size() - at < size)
            return false;
        std::memcpy(target, data.data() + at, size);
        at += size;
        return true;
    };
    uint32_t errorSize = 0;
    if (!take(&errorSize, sizeof errorSize) || data.size() - at < errorSize)
        return std::nullopt;
    result.error = data.substr(at, errorSize);
    at += errorSize;
    while (at < data.size()) {
        int32_t header[3];
        if (!take(header, sizeof header) || header[2] < 0 ||
            data.size() - at < static_cast<size_t>(header[2]))
            return std::nullopt;
        result.cells[{header[0], header[1]}] = data.substr(at, static_cast<size_t>(header[2]));
        at += static_cast<size_t>(header[2]);
    }
    return result;
}

std::string findXlsReader(const std::string& programFolder)
{
    if (programFolder.empty())
        return {};
    const std::filesystem::path folder = fileSystemPath(programFolder);
    const std::filesystem::path candidates[] = {
        folder / kXlsReaderFile,
        folder / ".." / "libexec" / "ql-rs485" / kXlsReaderFile,
        folder / ".." / "lib" / "ql-rs485" / kXlsReaderFile,
        folder / ".." / "libexec" / kXlsReaderFile,
        folder / ".." / "bin" / kXlsReaderFile,
    };
    for (const std::filesystem::path& candidate : candidates) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error) && isExecutable(candidate))
            return fileNameBytes(candidate.lexically_normal());
    }
    return {};
}

XlsCells readXlsInHelper(const std::string& path)
{
#if defined(__unix__) || defined(_WIN32)
    XlsCells result;
    const std::string helper = findXlsReader(runningProgramFolder());
    if (helper.empty()) {
        result.error = std::string("找不到.xls读取程序") + kXlsReaderName;
        return result;
    }
    const std::optional<std::string> output = runHelper(helper, path);
    std::optional<XlsCells> decoded = output ? decodeXlsCells(*output) : std::nullopt;
    if (!decoded) {
        result.error = kDamaged;
        return result;
    }
    return std::move(*decoded);
#else
    return readXlsInThisProcess(path);
#endif
}
