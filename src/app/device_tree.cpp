#include "app/device_tree.h"
#include "app/utf8_text.h"

#include "app/app_images.h"
#include "app/app_texts.h"
#include "catalogue/catalogue.h"

namespace {

// Light grey of the original panels (0xF0F0F0).
const QColor kPanelColour(0xF0, 0xF0, 0xF0);
constexpr int kNodeCodeRole = Qt::UserRole + 1;

} // namespace

DeviceTree::DeviceTree(const DeviceRegistry& registry, QWidget* parent)
    : QTreeWidget(parent), m_registry(registry)
{
    setObjectName(QStringLiteral("TreeView1"));
    setHeaderHidden(true);
    setColumnCount(1);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setIndentation(19);
    setExpandsOnDoubleClick(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette treePalette = palette();
    treePalette.setColor(QPalette::Base, kPanelColour);
    setPalette(treePalette);

    QFont bold = font();
    bold.setBold(true);
    for (const DeviceTypeDescription* type : m_registry.deviceTypes()) {
        if (!type->shownInTree)
            continue;
        auto* typeNode = new QTreeWidgetItem(this, {toQString(type->caption)});
        typeNode->setData(0, kNodeCodeRole, type->code);
        typeNode->setIcon(0, treeImage(treeImageIndex(m_registry, type->code)));
        typeNode->setFont(0, bold);
        typeNode->setToolTip(0, toQString(type->caption));
        for (const RecordKind& kind : type->kinds) {
            auto* kindNode = new QTreeWidgetItem(typeNode, {toQString(kind.caption)});
            kindNode->setData(0, kNodeCodeRole, kind.code);
            kindNode->setIcon(0, treeImage(treeImageIndex(m_registry, kind.code)));
            kindNode->setToolTip(0, toQString(kind.caption));
        }
    }
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) {
                updateNodeImages(current, previous);
                if (current && current->parent())
                    emit kindSelected(current);
            });
    connect(this, &QTreeWidget::itemDoubleClicked, this, &DeviceTree::nodeDoubleClicked);
}

int DeviceTree::nodeCodeOf(const QTreeWidgetItem* node)
{
    return node ? node->data(0, kNodeCodeRole).toInt() : 0;
}

QTreeWidgetItem* DeviceTree::selectedKindNode() const
{
    QTreeWidgetItem* node = currentItem();
    return node && node->parent() ? node : nullptr;
}

void DeviceTree::selectKind(int kindCode)
{
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if (nodeCodeOf(*it) == kindCode) {
            (*it)->setExpanded(true);
            if ((*it)->parent())
                (*it)->parent()->setExpanded(true);
            setCurrentItem(*it);
        }
    }
}

int DeviceTree::selectFirstKindOf(int deviceType)
{
    collapseAll();
    QTreeWidgetItem* kindNode = nullptr;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* typeNode = topLevelItem(i);
        if (nodeCodeOf(typeNode) != deviceType || typeNode->childCount() == 0)
            continue;
        typeNode->setExpanded(true);
        kindNode = typeNode->child(0);
        setCurrentItem(kindNode);
    }
    return kindNode ? nodeCodeOf(currentItem()) : 0;
}

void DeviceTree::updateNodeImages(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    if (previous)
        previous->setIcon(0, treeImage(treeImageIndex(m_registry, nodeCodeOf(previous))));
    if (current)
        current->setIcon(0, treeImage(treeSelectedImageIndex(m_registry, nodeCodeOf(current))));
}
