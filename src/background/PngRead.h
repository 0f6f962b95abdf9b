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

// True when `file` is a whole PNG of `width` x `height`: the signature, every chunk complete
// with a matching checksum, the size in its header, and the end chunk last. A renderer that
// ran out of disk space leaves a picture cut short, which a desktop would show half black.
bool isWholePng(const QString& file, int width, int height, QString* error);

} // namespace gw
