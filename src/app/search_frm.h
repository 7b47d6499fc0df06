// "搜索流量计": probes a range of addresses and lists the meters that answer
// with their device types. A double-click on a meter takes its address.
#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
struct FoundMeter;

class TSearchFrm : public QDialog {
    Q_OBJECT
public:
    explicit TSearchFrm(QWidget* parent = nullptr);

    // Runs the search over From()..To(); set by the owner of the port.
    std::function<void()> OnSearch;

    int From() const;
    int To() const;
    // Before each address; false when "停止" was pressed.
    bool ShowProbing(int address);
    void AddMeter(const FoundMeter& meter);
    void ShowEnd(const QString& status);
    // "停止" was pressed (or the window closed) during the last search.
    bool StopRequested() const { return FStopRequested; }
    // The address double-clicked; 0 when none was.
    int ChosenAddress() const { return FChosenAddress; }

    QSpinBox* spFrom = nullptr;
    QSpinBox* spTo = nullptr;
    QPushButton* btnSearch = nullptr;
    QPushButton* btnStop = nullptr;
    QTableWidget* lstMeters = nullptr;
    QLabel* lblStatus = nullptr;

protected:
    void reject() override;

private:
    void Search();

    bool FSearching = false;
    bool FStopRequested = false;
    int FChosenAddress = 0;
};
