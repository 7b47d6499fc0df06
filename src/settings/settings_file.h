// The settings file QL_EVC.ini: the port's line settings (as ordinals of the
// port's enumerations), the meter address, the spreadsheet template and the
// parameter window's reading period. The file is opened afresh for every read
// and write and never held open.
//
// It lives beside the program. When it cannot be written there (a program
// folder the user may not write), it is written to the per-user folder instead
// and read from there from then on; a later successful write beside the program
// removes the per-user copy again, so only one copy is ever in force.
#pragma once

#include "settings/shipped_workbook.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

struct PortSettings {
    QString comPort = QStringLiteral("COM1");
    int baudRate = 7; // ordinal: 7 is 9600 baud
    int dataBits = 3; // ordinal: 3 is 8 bits
    int stopBits = 0; // ordinal: 0 is 1 stop bit
    int parity = 1;   // ordinal: 1 is odd
    // Remove the echo of each request (adapters that hear their own transmission).
    bool echo = false;
    bool operator==(const PortSettings&) const = default;
};

// The main window's normal (not maximized) frame and whether it was maximized.
struct WindowPlace {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool maximized = false;
    bool operator==(const WindowPlace&) const = default;
};

// `Modbus`: the set-up of the general Modbus window; one format and name per
// table row.
struct ModbusSetup {
    int address = 1;
    int function = 3;
    int start = 0;
    int count = 10;
    bool oneBased = false;
    int intervalMs = 1000;
    QStringList formats;
    QStringList names;
};

// `Store`: where reads are kept. `location` is the file of File and the
// postgresql:// URI of Server (never a password); empty otherwise.
struct StoreChoice {
    enum class Mode { Off, DefaultFile, File, Server };
    Mode mode = Mode::DefaultFile;
    QString location;
    bool operator==(const StoreChoice&) const = default;
};

class SettingsFile {
public:
    static constexpr const char* kFileName = "QL_EVC.ini";
    static constexpr int kDefaultAddress = 23;
    static constexpr int kDefaultTimerSec = 5;
    static constexpr const char* kDefaultTemplateFile = kShippedProtocolWorkbook;

    // `programFolder`: the folder of the executable. `userFolder`: where the
    // file goes when the program folder cannot be written; tests and the
    // simulator demo pass folders of their own.
    explicit SettingsFile(QString programFolder, QString userFolder = defaultUserFolder());
    // The per-user configuration folder of this application: ~/.config/ql-rs485
    // (the XDG configuration home), %APPDATA%\ql-rs485 on Windows.
    static QString defaultUserFolder();
    // Where earlier versions kept the per-user file (named after the window title).
    static QString legacyUserFolder();
    // Moves QL_EVC.ini from `oldFolder` into the user folder when the user folder
    // has none yet; true when it did. The old file is removed once copied.
    bool takeOverUserFile(const QString& oldFolder);

    // Missing file, missing key, an unreadable integer or an ordinal outside its
    // enumeration give the default of that key.
    PortSettings readPort() const;
    // True once a port has been chosen (`Port`/`ComPort` is in the file).
    bool hasPortChoice() const;
    // 1 to 247; the default 23 otherwise.
    int readAddress() const;
    // `Config`/`File`, the template's name inside the Excel folder.
    QString readTemplateFile() const;
    // The program folder, "Excel", and the template's name; when that file is
    // missing, the one shipped with the program (beside the executable or in the
    // installed data folder) if there is one.
    QString templatePath() const;
    // The folder beside the executable that holds the settings file and Excel/.
    const QString& programFolder() const { return m_programFolder; }
    // `Timer`/`Sec` as stored (the parameter window clamps it to its range).
    int readTimerSec() const;
    // `Read`/`Fast`: the window reads the fast way. Off when missing or not 1.
    bool readFastRead() const;
    // `Window`/Left, Top, Width, Height, Maximized; nothing when a key is missing
    // or the size is below 200 x 150.
    std::optional<WindowPlace> readWindowPlace() const;
    // Keys missing or out of range give the defaults of ModbusSetup.
    ModbusSetup readModbusSetup() const;
    // `Store`/Mode (off, default, file, server) and Location; the default file
    // when the mode is missing or unknown, or File/Server lack their location.
    StoreChoice readStoreChoice() const;

    enum class WriteResult { ProgramFolder, UserFolder, Failed };
    // Writes `Port`/ComPort, BaudRate, DataBits, StopBits, Parity, Echo (only
    // when on or already in the file) and `address`/addr in that order, keeping every other line of the file.
    WriteResult writePortAndAddress(const PortSettings& port, int address);
    WriteResult writeTimerSec(int seconds);
    // Written only when the operator switches fast reading, so files that never
    // used it keep their layout.
    WriteResult writeFastRead(bool fast);
    WriteResult writeWindowPlace(const WindowPlace& place);
    WriteResult writeModbusSetup(const ModbusSetup& setup);
    WriteResult writeStoreChoice(const StoreChoice& choice);

    QString programFilePath() const;
    QString userFilePath() const;
    // The file reads come from: the per-user copy when there is one.
    QString readFilePath() const;
    // The file in force: the per-user copy when there is one or the program
    // folder cannot be written, else the one beside the program.
    QString effectiveFilePath() const;

private:
    struct Entry {
        const char* section;
        const char* key;
        std::string valueOf;
    };
    std::optional<std::string> rawValue(const char* section, const char* key) const;
    int readInteger(const char* section, const char* key, int defaultValue, int minValue, int maxValue) const;
    WriteResult writeEntries(const std::vector<Entry>& entries);

    QString m_programFolder;
    QString m_userFolder;
};
