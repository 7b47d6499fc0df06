// The parameter window: live values, status words and parameters of six device
// types on one panel each. Simple mode finds out by itself which type answers;
// advanced mode reads the type chosen in the selector, on demand or periodically.
// It is created once, hidden, and shown non-modally by the main window; closing
// only hides it. Its collaborators come from outside (byte link, waiter, prompter,
// log, settings), so tests drive it offscreen against a simulated meter.
#pragma once

#include "decoding/protocol_sheet.h"
#include "params/param_reader.h"
#include "protocol/exchange.h"
#include "protocol/port_guard.h"

#include <QDialog>

#include <array>
#include <functional>

class PortSession;
class LogModel;
class Prompter;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class QTimer;
class QVBoxLayout;
class SettingsFile;
class Waiter;

// What the window works with; every reference must outlive the window.
struct ParamWindowContext {
    const DeviceRegistry& registry; // must outlive the window
    // The port: a read waits for no one, a periodic one skips its turn and one
    // on demand is refused while another exchange has the port.
    PortSession& session;
    Waiter& waiter;
    Prompter& prompter;
    LogModel& log;
    SettingsFile& settings;
    // The meter address, asked at every showing (the address stays the same while
    // the window is open). Empty: the address given by SetMeterAddress.
    std::function<int()> meterAddress;
    // The protocol sheet of device type 5, asked at every showing for its parameter
    // list and layout; may return nullptr while none is loaded. Empty: the layout
    // given by SetParamLayout.
    std::function<const ProtocolSheet*()> protocolSheet;
    // Initial folder of the export's save dialog (the program folder).
    QString exportFolder;
    // The device type found at this port and address earlier (0: none), asked
    // at every showing: the window opens with its panel. Empty: none known.
    std::function<int()> knownDeviceType = {};
    // Whether simple mode reads that type first before trying every type.
    std::function<bool()> knownTypeFirst = {};
};

class ParamWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxLogLines = 2000;
    static constexpr int kMinPeriodSec = 5;
    static constexpr int kMaxPeriodSec = 10000;

    explicit ParamWindow(const ParamWindowContext& context, QWidget* parent = nullptr);
    ~ParamWindow() override;

    void setMeterAddress(uint8_t address);
    void setParamLayout(const std::vector<std::string>& paramFields, const ParamLayoutArray& paramLayout);
    // Empties every value shown: they came from the meter on another port.
    void forgetValues();

    // Window events, public so tests can raise them where the platform would.
    void onShown();
    void onClosed();
    void onDeviceTypeClicked();
    void onReadClicked();
    void onModeClicked();
    void onCloseClicked();
    void onAutoReadClicked();
    void onTick();
    void onExportClicked();
    void showDevicePanel(QWidget* panel);

    // The selector (m_typeSelector) index; setting a different one runs onDeviceTypeClicked.
    int itemIndex() const;
    void setItemIndex(int index);
    // Simple mode while m_modeButton reads "高级".
    bool simpleMode() const;
    ParamReader& reader() { return m_reader; }
    // The panel of `deviceType`, or nullptr.
    QWidget* panelOf(int deviceType) const;
    // Selector index of `deviceType`, -1 when it has none.
    int selectorIndexOf(int deviceType) const;
    int selectorCount() const;

    QLabel* m_titleLabel = nullptr;
    QTableWidget* m_valueGrid = nullptr;
    QGroupBox* m_typeSelector = nullptr;
    QWidget* m_autoReadPane = nullptr;
    QCheckBox* m_autoReadCheck = nullptr;
    QSpinBox* m_periodSpin = nullptr;
    QPushButton* m_exportButton = nullptr;
    QPushButton* m_readButton = nullptr;
    QPushButton* m_modeButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    QTimer* m_tickTimer = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void buildTitle();
    QWidget* buildPanel(const ParamPanelSpec& panelSpec);
    QWidget* buildGridPanel(const ParamPanelSpec& panelSpec);
    void buildSelector();
    void buildBottomRow();

    // Puts the reader's values of `deviceType` into its labels (or the grid).
    void showValues(int deviceType);
    void showGrid();
    // Simple-mode detection; true when a type answered.
    bool detectDeviceType();
    void showDetected(int deviceType);
    // Shows or hides the advanced-mode widgets and sets the spacing of each mode.
    void applyMode();
    void setBusyCursor(bool busy);

    Exchange m_exchange;
    ParamReader m_reader;
    Prompter& m_prompter;
    LogModel& m_log;
    SettingsFile& m_settings;
    std::function<int()> m_meterAddressSource;
    std::function<const ProtocolSheet*()> m_protocolSheetSource;
    std::function<int()> m_knownDeviceType;
    std::function<bool()> m_knownTypeFirst;
    QString m_exportFolder;
    PortSession& m_session;

    QButtonGroup* m_typeButtons = nullptr;
    // The device types of the selector in selector order, and their buttons and panels.
    std::vector<const DeviceTypeDescription*> m_selectorTypes;
    std::vector<QRadioButton*> m_typeItems;
    std::vector<QWidget*> m_panels;
    QVBoxLayout* m_layout = nullptr;
    QWidget* m_selectorPlace = nullptr;
    QHBoxLayout* m_bottomRow = nullptr;
    QHBoxLayout* m_buttonRow = nullptr;
    bool m_reading = false;
    bool m_simpleMode = true;
    int m_busyCursors = 0;
};
