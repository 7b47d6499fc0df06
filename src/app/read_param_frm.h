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

class ByteLink;
class LogModel;
class Prompter;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class QTimer;
class SettingsFile;
class Waiter;

// What the window works with; every reference must outlive the window.
struct ReadParamFrmContext {
    ByteLink& link;
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
    // Who is using the port: a read waits for no one, a periodic one skips its
    // turn and one on demand is refused while another exchange has the port.
    PortGuard& portGuard;
};

class TReadParamFrm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxLogLines = 2000;
    static constexpr int kMinPeriodSec = 5;
    static constexpr int kMaxPeriodSec = 10000;

    explicit TReadParamFrm(const ReadParamFrmContext& context, QWidget* parent = nullptr);
    ~TReadParamFrm() override;

    void SetMeterAddress(uint8_t address);
    void SetParamLayout(const std::vector<std::string>& paramFields, const ParamLayoutArray& paramLayout);
    // Empties every value shown: they came from the meter on another port.
    void ForgetValues();
    // When set, port failures (EComPort) during a read go here instead of a warning box.
    std::function<void(const QString& message)> PortErrorHandler;

    // Window events, public so tests can raise them where the platform would.
    void FormShow();
    void FormClose();
    void RG_TypeClick();
    void BtnReadClick();
    void Button1Click();
    void BtnCloseClick();
    void chkSendClick();
    void Timer1Timer();
    void btnExcelClick();
    void ShowDevicePanel(QWidget* panel);

    // The selector (RG_Type) index; setting a different one runs RG_TypeClick.
    int ItemIndex() const;
    void SetItemIndex(int index);
    // Simple mode while Button1 reads "高级".
    bool SimpleMode() const;
    ParamReader& Reader() { return FReader; }
    // The panel of `deviceType`, or nullptr.
    QWidget* PanelOf(int deviceType) const;
    // Selector index of `deviceType`, -1 when it has none.
    static int SelectorIndexOf(int deviceType);
    int SelectorCount() const;

    QLabel* pnlTitle = nullptr;
    QTableWidget* StringGrid1 = nullptr;
    QGroupBox* RG_Type = nullptr;
    QWidget* pnlSend = nullptr;
    QCheckBox* chkSend = nullptr;
    QSpinBox* spSec = nullptr;
    QPushButton* btnExcel = nullptr;
    QPushButton* BtnRead = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* BtnClose = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void BuildTitle();
    QWidget* BuildPanel(const ParamPanelSpec& panelSpec);
    QWidget* BuildGridPanel(const ParamPanelSpec& panelSpec);
    void BuildSelector();
    void BuildBottomRow();

    // Puts the reader's values of `deviceType` into its labels (or the grid).
    void ShowValues(int deviceType);
    void ShowGrid();
    // Simple-mode detection; true when a type answered.
    bool DetectDeviceType();
    void ShowDetected(int deviceType);
    void ReportPortError(const QString& message);
    void MoveButtons(int dy);
    void SetBusyCursor(bool busy);

    Exchange FExchange;
    ParamReader FReader;
    Prompter& FPrompter;
    LogModel& FLog;
    SettingsFile& FSettings;
    std::function<int()> FMeterAddressSource;
    std::function<const ProtocolSheet*()> FProtocolSheetSource;
    QString FExportFolder;
    PortGuard& FPortGuard;

    QButtonGroup* FTypeButtons = nullptr;
    // The device types of the selector in selector order, and their buttons and panels.
    std::vector<const DeviceTypeDescription*> m_selectorTypes;
    std::vector<QRadioButton*> FTypeItems;
    std::vector<QWidget*> FPanels;
    bool FReading = false;
    int FBusyCursors = 0;
};
