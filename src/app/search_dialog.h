// "搜索流量计": probes a range of addresses and lists the meters that answer
// with their device types. A double-click on a meter takes its address.
#pragma once

#include <QDialog>

class DeviceRegistry;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
struct FoundMeter;

class SearchDialog : public QDialog {
    Q_OBJECT
public:
    // `registry` names the device types found; it must outlive the dialog.
    explicit SearchDialog(const DeviceRegistry& registry, QWidget* parent = nullptr);

    int from() const;
    int to() const;
    // Before each address; false when "停止" was pressed.
    bool showProbing(int address);
    void addMeter(const FoundMeter& meter);
    void showEnd(const QString& status);
    // "停止" was pressed (or the window closed) during the last search.
    bool stopRequested() const { return m_stopRequested; }
    // The address double-clicked; 0 when none was.
    int chosenAddress() const { return m_chosenAddress; }

    QSpinBox* m_fromSpin = nullptr;
    QSpinBox* m_toSpin = nullptr;
    QPushButton* m_searchButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QTableWidget* m_meterList = nullptr;
    QLabel* m_statusLabel = nullptr;

signals:
    // "搜索" pressed: the owner of the port searches from()..to() before returning.
    void searchRequested();

protected:
    void reject() override;

private:
    void search();

    const DeviceRegistry& m_registry;
    bool m_searching = false;
    bool m_stopRequested = false;
    int m_chosenAddress = 0;
};
