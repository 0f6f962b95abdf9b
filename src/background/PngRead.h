#pragma once
// Reads the renderer's PNG pictures (8 bits per channel, RGB or RGBA, not interlaced) without a
// GUI library, for composing them into the root window's pixmap.
#include <QByteArray>
#include <QString>

namespace gw {

struct RgbPicture
{
    int width = 0;
    int height = 0;
    QByteArray rgb; // 3 bytes per pixel, rows top to bottom
};

// False with the reason when the file is missing or not such a PNG.
bool readPng(const QString& file, RgbPicture* picture, QString* error);

} // namespace gw
