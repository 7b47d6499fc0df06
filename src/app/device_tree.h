// The tree of device types and their record kinds ("TreeView1"): each node
// carries its code and its picture, which changes while the node is selected.
// It only tells what the operator chose; reading is the read controller's job.
#pragma once

#include <QTreeWidget>

class DeviceRegistry;

class DeviceTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit DeviceTree(const DeviceRegistry& registry, QWidget* parent = nullptr);

    // The code a node carries: the device type for a top-level node, else its
    // kind code; 0 for none.
    static int nodeCodeOf(const QTreeWidgetItem* node);

    // The kind node selected, nullptr when a type node or nothing is.
    QTreeWidgetItem* selectedKindNode() const;
    // Expands and selects the node of `kindCode`.
    void selectKind(int kindCode);
    // Collapses the tree and selects the first kind of `deviceType`; its kind
    // code, 0 when the type has no node with kinds.
    int selectFirstKindOf(int deviceType);

signals:
    // A kind node became the selected one.
    void kindSelected(QTreeWidgetItem* node);
    void nodeDoubleClicked();

private:
    void updateNodeImages(QTreeWidgetItem* current, QTreeWidgetItem* previous);

    const DeviceRegistry& m_registry;
};
