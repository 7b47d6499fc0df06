// Pictures of the tree and the toolbar, drawn at run time so the program ships
// no image files. Indexes follow the image lists of the main window.
#pragma once

#include <QIcon>

// Tree images: 0 record kind, 1 selected record kind, 2 spare, 3 device type.
QIcon treeImage(int index);

enum class ToolImage {
    PortSettings,
    PortClosed, // m_openPortButton image 0: the port can be opened
    PortOpen,   // m_openPortButton image 1: the port can be closed
    Address,
    LiveData,
    History,
    SaveRecords,
    DeleteRecords,
    SaveLog,
    DeleteLog,
    About,
    Exit,
    Chart,
};
QIcon toolbarImage(ToolImage image);
