#pragma once
// The tray's two image lists, drawn by code at whatever size the tray asks for, so they stay
// sharp on any panel: ilDrehenderGlobus (a globe turning one full turn in 24 frames, the
// battery image and the crossed-out globe) and ilGlobusProzent (a globe filling from the bottom).
#include <QIcon>
#include <QImage>
#include <QString>
#include <QVector>
#include <functional>

namespace gw {

// The sizes panels commonly ask for; an icon lists them as its available sizes and draws any other on demand.
inline constexpr int TrayIconSizes[] = { 16, 22, 24, 32, 48 };

inline constexpr int GlobeTurnFrames = 24; // frames 0-23 of ilDrehenderGlobus
inline constexpr double GlobeTurnStep = 15.0; // degrees per frame
inline constexpr int PercentSteps = 14; // ilGlobusProzent: 0 empty, 14 whole

// The globe's model, shared by the tray pictures and the program's vector icon: land in cells
// of 10 degrees (rows from 90N southwards, columns from 180W eastwards), ice beyond 64 degrees,
// the north tipped towards the viewer, light from the upper left.
inline constexpr int GlobeLandRows = 18;
inline constexpr int GlobeLandColumns = 36;
inline constexpr double GlobeTiltDegrees = 20.0;
inline constexpr double GlobeIceLatitude = 64.0;
inline constexpr QRgb GlobeOcean = 0xff1c5cc4;
inline constexpr QRgb GlobeLand = 0xff40a040;
inline constexpr QRgb GlobeIce = 0xffe4ecf2;
inline constexpr QRgb GlobeRim = 0xc80c245a; // 200 alpha
bool globeLandCell(int row, int column);

class ImageList
{
public:
    ImageList() = default;
    ImageList(QString name, QVector<QIcon> images)
        : m_name(std::move(name))
        , m_images(std::move(images))
    {
    }
    const QString& name() const { return m_name; }
    int count() const { return static_cast<int>(m_images.size()); }
    const QIcon& image(int index) const { return m_images.at(index); }

private:
    QString m_name;
    QVector<QIcon> m_images;
};

// An icon whose pixmaps are painted by `draw` at the size asked for and kept once drawn.
QIcon drawnIcon(std::function<QImage(int size)> draw);

// The pictures, square, `size` pixels, transparent around the globe.
QImage drawGlobe(int size, double turnDegrees);
QImage drawBatteryImage(int size);
QImage drawCrossedGlobe(int size);
QImage drawGlobeFill(int size, int step); // step 0 (empty) .. PercentSteps (whole)

ImageList makeDrehenderGlobus(); // 26 images
ImageList makeGlobusProzent(); // 15 images
// Shown while no frame is selected and the window gave no icon of its own.
QIcon makeDefaultTrayIcon();

} // namespace gw
