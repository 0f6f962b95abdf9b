#pragma once
// What the scheduler, the launcher and the downloads need of the tray icon: which image list
// it shows, the frame, and the animation. The tray component implements it.
namespace gw {

enum class TrayList { Globe, Percent }; // ilDrehenderGlobus (26), ilGlobusProzent (15)

class TrayImage
{
public:
    virtual ~TrayImage() = default;
    virtual TrayList iconList() const = 0;
    virtual void setIconList(TrayList list) = 0;
    virtual int imageCount() const = 0; // of the current list
    virtual int frameIndex() const = 0;
    virtual void setFrameIndex(int index) = 0;
    virtual bool animate() const = 0;
    virtual void setAnimate(bool on) = 0;
};

} // namespace gw
