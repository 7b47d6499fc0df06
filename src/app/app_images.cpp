#include "app/app_images.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace {

QPixmap canvas(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A sheet of paper with ruled lines: a record kind.
QIcon recordSheet(const QColor& paper, const QColor& ink)
{
    QPixmap pixmap = canvas(16);
    QPainter p(&pixmap);
    p.setPen(ink);
    p.setBrush(paper);
    p.drawRect(3, 1, 10, 13);
    for (int y = 4; y <= 11; y += 3)
        p.drawLine(5, y, 11, y);
    return QIcon(pixmap);
}

// A small meter with a dial: a device type.
QIcon deviceMeter()
{
    QPixmap pixmap = canvas(16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x30, 0x30, 0x30));
    p.setBrush(QColor(0x2E, 0x7D, 0x32));
    p.drawRoundedRect(QRectF(1.5, 2.5, 13, 11), 2, 2);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 8), 3.5, 3.5);
    p.drawLine(QPointF(8, 8), QPointF(10, 6));
    return QIcon(pixmap);
}

// Toolbar pictures: a coloured tile with a simple symbol drawn on it.
QIcon tile(const QColor& colour, const std::function<void(QPainter&)>& symbol)
{
    QPixmap pixmap = canvas(24);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(1, 1, 22, 22), 4, 4);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    symbol(p);
    return QIcon(pixmap);
}

void lines(QPainter& p)
{
    for (int y = 8; y <= 16; y += 4)
        p.drawLine(7, y, 17, y);
}

void disk(QPainter& p)
{
    p.drawRect(QRectF(6, 6, 12, 12));
    p.drawLine(9, 6, 9, 10);
    p.drawLine(9, 10, 15, 10);
    p.drawLine(15, 10, 15, 6);
}

void cross(QPainter& p)
{
    p.drawLine(7, 7, 17, 17);
    p.drawLine(17, 7, 7, 17);
}

} // namespace

QIcon treeImage(int index)
{
    switch (index) {
    case 0:
        return recordSheet(Qt::white, QColor(0x50, 0x50, 0x50));
    case 1:
        return recordSheet(QColor(0xFF, 0xE0, 0x82), QColor(0x1E, 0x5A, 0xC8));
    case 3:
        return deviceMeter();
    default:
        return recordSheet(QColor(0xE0, 0xE0, 0xE0), QColor(0x90, 0x90, 0x90));
    }
}

QIcon toolbarImage(ToolImage image)
{
    switch (image) {
    case ToolImage::PortSettings:
        return tile(QColor(0x45, 0x5A, 0x64), [](QPainter& p) {
            p.drawEllipse(QPointF(12, 12), 5, 5);
            p.drawLine(12, 4, 12, 7);
            p.drawLine(12, 17, 12, 20);
            p.drawLine(4, 12, 7, 12);
            p.drawLine(17, 12, 20, 12);
        });
    case ToolImage::PortClosed:
        return tile(QColor(0x2E, 0x7D, 0x32), [](QPainter& p) {
            p.setBrush(Qt::white);
            p.drawPolygon(QPolygonF({QPointF(9, 6), QPointF(18, 12), QPointF(9, 18)}));
        });
    case ToolImage::PortOpen:
        return tile(QColor(0xC6, 0x28, 0x28), [](QPainter& p) {
            p.setBrush(Qt::white);
            p.drawRect(QRectF(8, 8, 8, 8));
        });
    case ToolImage::Address:
        return tile(QColor(0x00, 0x83, 0x8F), [](QPainter& p) {
            p.drawEllipse(QPointF(12, 10), 4, 4);
            p.drawLine(12, 14, 12, 19);
        });
    case ToolImage::LiveData:
        return tile(QColor(0x15, 0x65, 0xC0), [](QPainter& p) {
            p.drawPolyline(QPolygonF({QPointF(5, 15), QPointF(9, 11), QPointF(13, 14), QPointF(19, 7)}));
        });
    case ToolImage::History:
        return tile(QColor(0x6A, 0x1B, 0x9A), [](QPainter& p) {
            p.drawEllipse(QPointF(12, 12), 7, 7);
            p.drawLine(12, 12, 12, 7);
            p.drawLine(12, 12, 15, 14);
        });
    case ToolImage::SaveRecords:
        return tile(QColor(0x28, 0x35, 0x93), disk);
    case ToolImage::DeleteRecords:
        return tile(QColor(0xAD, 0x14, 0x57), cross);
    case ToolImage::SaveLog:
        return tile(QColor(0x55, 0x8B, 0x2F), disk);
    case ToolImage::DeleteLog:
        return tile(QColor(0xEF, 0x6C, 0x00), lines);
    case ToolImage::About:
        return tile(QColor(0x02, 0x77, 0xBD), [](QPainter& p) {
            p.drawLine(12, 11, 12, 18);
            p.drawPoint(12, 7);
        });
    case ToolImage::Exit:
        return tile(QColor(0x42, 0x42, 0x42), [](QPainter& p) {
            p.drawLine(8, 12, 18, 12);
            p.drawLine(14, 8, 18, 12);
            p.drawLine(14, 16, 18, 12);
        });
    case ToolImage::Chart:
        return tile(QColor(0x00, 0x69, 0x5C), [](QPainter& p) {
            p.drawLine(5, 5, 5, 19);
            p.drawLine(5, 19, 19, 19);
            p.drawPolyline(QPolygonF({QPointF(7, 16), QPointF(11, 10), QPointF(14, 13), QPointF(19, 6)}));
        });
    }
    return {};
}
