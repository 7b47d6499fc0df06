#include "settings/settings_file.h"

#include "settings/install_layout.h"

#include "settings/ini_document.h"
#include "settings/settings_text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <array>
#include <limits>

namespace {

constexpr int kMinAddress = 1;
constexpr int kMaxAddress = 247;
// Ordinal ranges of the port's baud-rate, data-bits, stop-bits and parity
// enumerations.
constexpr int kMaxBaudRate = 15;
constexpr int kMaxDataBits = 3;
constexpr int kMaxStopBits = 2;
constexpr int kMaxParity = 4;

std::optional<std::string> readFileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

// Replaces the file only after the new content is complete, so an interrupted
// write never leaves a truncated settings file behind. A file made read-only
// by its owner counts as not writable.
bool saveText(const QString& path, const std::string& text)
{
    const QFileInfo existing(path);
    if (existing.exists() && (!existing.isFile() || !existing.isWritable()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(text.data(), qint64(text.size())) != qint64(text.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace

SettingsFile::SettingsFile(QString programFolder, QString userFolder)
    : m_programFolder(std::move(programFolder)), m_userFolder(std::move(userFolder))
{
}

QString SettingsFile::defaultUserFolder()
{
#ifdef Q_OS_WIN
    // The roaming profile, where Windows users expect settings that follow them;
    // Qt's generic configuration folder there is the local one.
    const QString appData = qEnvironmentVariable("APPDATA");
    if (!appData.isEmpty())
        return QDir::fromNativeSeparators(appData) + QStringLiteral("/ql-rs485");
#endif
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ql-rs485");
}

QString SettingsFile::legacyUserFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/QL_RS485通信测试软件");
}

bool SettingsFile::takeOverUserFile(const QString& oldFolder)
{
    const QString userPath = userFilePath();
    const QString oldPath = QDir(oldFolder).filePath(QString::fromLatin1(kFileName));
    if (userPath.isEmpty() || QFileInfo::exists(userPath) || !QFileInfo(oldPath).isFile())
        return false;
    const auto bytes = readFileBytes(oldPath);
    if (!bytes || !QDir().mkpath(m_userFolder) || !saveText(userPath, *bytes))
        return false;
    // Gone from the old folder, so a later start never takes it over again.
    QFile::remove(oldPath);
    QDir().rmdir(oldFolder);
    return true;
}

QString SettingsFile::programFilePath() const
{
    return QDir(m_programFolder).filePath(QString::fromLatin1(kFileName));
}

QString SettingsFile::userFilePath() const
{
    if (m_userFolder.isEmpty())
        return {};
    return QDir(m_userFolder).filePath(QString::fromLatin1(kFileName));
}

QString SettingsFile::readFilePath() const
{
    const QString userPath = userFilePath();
    if (!userPath.isEmpty() && QFileInfo(userPath).isFile())
        return userPath;
    return programFilePath();
}

QString SettingsFile::effectiveFilePath() const
{
    const QString userPath = userFilePath();
    if (userPath.isEmpty() || QFileInfo(userPath).isFile())
        return readFilePath();
    const QFileInfo program(programFilePath());
    const bool writable =
        program.exists() ? program.isFile() && program.isWritable() : QFileInfo(m_programFolder).isWritable();
    return writable ? programFilePath() : userPath;
}

std::optional<std::string> SettingsFile::rawValue(const char* section, const char* key) const
{
    const auto bytes = readFileBytes(readFilePath());
    if (!bytes)
        return std::nullopt;
    return IniDocument::parse(settingsBytesToUtf8(*bytes)).valueOf(section, key);
}

int SettingsFile::readInteger(const char* section, const char* key, int defaultValue, int minValue,
                              int maxValue) const
{
    const auto text = rawValue(section, key);
    if (!text)
        return defaultValue;
    const auto value = parseIniInteger(*text);
    if (!value || *value < minValue || *value > maxValue)
        return defaultValue;
    return *value;
}

PortSettings SettingsFile::readPort() const
{
    // One parse for the six keys: the file is read once per load.
    PortSettings port;
    const auto bytes = readFileBytes(readFilePath());
    if (!bytes)
        return port;
    const IniDocument document = IniDocument::parse(settingsBytesToUtf8(*bytes));
    const auto integer = [&](const char* key, int defaultValue, int maxValue) {
        const auto text = document.valueOf("Port", key);
        const auto value = text ? parseIniInteger(*text) : std::nullopt;
        return value && *value >= 0 && *value <= maxValue ? *value : defaultValue;
    };
    if (const auto name = document.valueOf("Port", "ComPort"))
        port.comPort = QString::fromStdString(*name);
    port.baudRate = integer("BaudRate", port.baudRate, kMaxBaudRate);
    port.dataBits = integer("DataBits", port.dataBits, kMaxDataBits);
    port.stopBits = integer("StopBits", port.stopBits, kMaxStopBits);
    port.parity = integer("Parity", port.parity, kMaxParity);
    port.echo = integer("Echo", 0, 1) == 1;
    return port;
}

bool SettingsFile::hasPortChoice() const
{
    const auto name = rawValue("Port", "ComPort");
    return name && !name->empty();
}

int SettingsFile::readAddress() const
{
    return readInteger("address", "addr", kDefaultAddress, kMinAddress, kMaxAddress);
}

QString SettingsFile::readTemplateFile() const
{
    const auto name = rawValue("Config", "File");
    return QString::fromStdString(name ? *name : std::string(kDefaultTemplateFile));
}

QString SettingsFile::templatePath() const
{
    const QString relative = QStringLiteral("Excel/") + readTemplateFile();
    const QString beside = QDir(m_programFolder).filePath(relative);
    if (QFileInfo::exists(beside) || !QCoreApplication::instance())
        return beside;
    // An installed program keeps its settings apart from the shipped workbook.
    const QString shipped = programDataFile(QCoreApplication::applicationDirPath(), relative);
    return QFileInfo::exists(shipped) ? shipped : beside;
}

int SettingsFile::readTimerSec() const
{
    return readInteger("Timer", "Sec", kDefaultTimerSec, std::numeric_limits<int>::min(),
                       std::numeric_limits<int>::max());
}

bool SettingsFile::readFastRead() const
{
    return readInteger("Read", "Fast", 0, 0, 1) == 1;
}

std::optional<WindowPlace> SettingsFile::readWindowPlace() const
{
    const auto bytes = readFileBytes(readFilePath());
    if (!bytes)
        return std::nullopt;
    const IniDocument document = IniDocument::parse(settingsBytesToUtf8(*bytes));
    const auto integer = [&](const char* key) {
        const auto text = document.valueOf("Window", key);
        return text ? parseIniInteger(*text) : std::nullopt;
    };
    const auto left = integer("Left"), top = integer("Top"), width = integer("Width"),
               height = integer("Height"), maximized = integer("Maximized");
    if (!left || !top || !width || !height || *width < 200 || *height < 150)
        return std::nullopt;
    return WindowPlace{*left, *top, *width, *height, maximized && *maximized == 1};
}

SettingsFile::WriteResult SettingsFile::writeWindowPlace(const WindowPlace& place)
{
    return writeEntries({{"Window", "Left", std::to_string(place.left)},
                         {"Window", "Top", std::to_string(place.top)},
                         {"Window", "Width", std::to_string(place.width)},
                         {"Window", "Height", std::to_string(place.height)},
                         {"Window", "Maximized", place.maximized ? "1" : "0"}});
}

SettingsFile::WriteResult SettingsFile::writePortAndAddress(const PortSettings& port, int address)
{
    std::vector<Entry> entries = {
        {"Port", "ComPort", port.comPort.toStdString()},
        {"Port", "BaudRate", std::to_string(port.baudRate)},
        {"Port", "DataBits", std::to_string(port.dataBits)},
        {"Port", "StopBits", std::to_string(port.stopBits)},
        {"Port", "Parity", std::to_string(port.parity)},
    };
    // Files of installations that never used echo removal keep their layout;
    // once the key is there, turning it off is written too.
    if (port.echo || rawValue("Port", "Echo"))
        entries.push_back({"Port", "Echo", port.echo ? "1" : "0"});
    entries.push_back({"address", "addr", std::to_string(address)});
    return writeEntries(entries);
}

SettingsFile::WriteResult SettingsFile::writeTimerSec(int seconds)
{
    return writeEntries({{"Timer", "Sec", std::to_string(seconds)}});
}

SettingsFile::WriteResult SettingsFile::writeFastRead(bool fast)
{
    return writeEntries({{"Read", "Fast", fast ? "1" : "0"}});
}

ModbusSetup SettingsFile::readModbusSetup() const
{
    ModbusSetup setup;
    setup.address = readInteger("Modbus", "Address", setup.address, 0, 247);
    setup.function = readInteger("Modbus", "Function", setup.function, 1, 4);
    setup.start = readInteger("Modbus", "Start", setup.start, 0, 65535);
    setup.count = readInteger("Modbus", "Count", setup.count, 1, 2000);
    setup.oneBased = readInteger("Modbus", "OneBased", 0, 0, 1) == 1;
    setup.intervalMs = readInteger("Modbus", "Interval", setup.intervalMs, 50, 3'600'000);
    // Names are the operator's own words: stored percent-encoded, so no comma,
    // line end or code page can split or spoil them.
    if (const auto formats = rawValue("Modbus", "Formats"); formats && !formats->empty())
        setup.formats = QString::fromStdString(*formats).split(QLatin1Char(','));
    if (const auto names = rawValue("Modbus", "Names"); names && !names->empty())
        for (const QString& name : QString::fromStdString(*names).split(QLatin1Char(',')))
            setup.names << QUrl::fromPercentEncoding(name.toLatin1());
    return setup;
}

SettingsFile::WriteResult SettingsFile::writeModbusSetup(const ModbusSetup& setup)
{
    QStringList names;
    for (const QString& name : setup.names)
        names << QString::fromLatin1(QUrl::toPercentEncoding(name));
    return writeEntries({{"Modbus", "Address", std::to_string(setup.address)},
                         {"Modbus", "Function", std::to_string(setup.function)},
                         {"Modbus", "Start", std::to_string(setup.start)},
                         {"Modbus", "Count", std::to_string(setup.count)},
                         {"Modbus", "OneBased", setup.oneBased ? "1" : "0"},
                         {"Modbus", "Interval", std::to_string(setup.intervalMs)},
                         {"Modbus", "Formats", setup.formats.join(QLatin1Char(',')).toStdString()},
                         {"Modbus", "Names", names.join(QLatin1Char(',')).toStdString()}});
}

namespace {

constexpr std::array<std::pair<StoreChoice::Mode, const char*>, 4> kStoreModes{{
    {StoreChoice::Mode::Off, "off"},
    {StoreChoice::Mode::DefaultFile, "default"},
    {StoreChoice::Mode::File, "file"},
    {StoreChoice::Mode::Server, "server"},
}};

} // namespace

StoreChoice SettingsFile::readStoreChoice() const
{
    StoreChoice choice;
    const auto mode = rawValue("Store", "Mode");
    if (!mode)
        return choice;
    for (const auto& [value, name] : kStoreModes)
        if (*mode == name)
            choice.mode = value;
    // Paths and URIs are kept percent-encoded, so no code page can spoil them.
    if (const auto location = rawValue("Store", "Location"))
        choice.location = QUrl::fromPercentEncoding(QByteArray::fromStdString(*location));
    if (choice.mode == StoreChoice::Mode::Off || choice.mode == StoreChoice::Mode::DefaultFile)
        choice.location.clear();
    else if (choice.location.isEmpty())
        choice.mode = StoreChoice::Mode::DefaultFile;
    return choice;
}

SettingsFile::WriteResult SettingsFile::writeStoreChoice(const StoreChoice& choice)
{
    std::string mode;
    for (const auto& [value, name] : kStoreModes)
        if (choice.mode == value)
            mode = name;
    return writeEntries(
        {{"Store", "Mode", mode},
         {"Store", "Location", QUrl::toPercentEncoding(choice.location, "/:@").toStdString()}});
}

SettingsFile::WriteResult SettingsFile::writeEntries(const std::vector<Entry>& entries)
{
    // Start from the file in force so keys this program never writes (the
    // template name) survive, also into a per-user copy.
    const auto bytes = readFileBytes(readFilePath());
    IniDocument document = IniDocument::parse(bytes ? settingsBytesToUtf8(*bytes) : std::string());
    for (const Entry& entry : entries)
        document.setValue(entry.section, entry.key, entry.valueOf);
    const std::string text = document.text();

    const QString userPath = userFilePath();
    if (saveText(programFilePath(), text)) {
        // A per-user copy that cannot be removed would shadow this write on the
        // next read, so it is brought up to date instead.
        if (!userPath.isEmpty() && QFileInfo(userPath).isFile() && !QFile::remove(userPath))
            saveText(userPath, text);
        return WriteResult::ProgramFolder;
    }
    if (userPath.isEmpty() || !QDir().mkpath(m_userFolder))
        return WriteResult::Failed;
    return saveText(userPath, text) ? WriteResult::UserFolder : WriteResult::Failed;
}
