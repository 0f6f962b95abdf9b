#pragma once
// What every benchmark needs: the median of its rounds, and a tray that shows nothing.
#include "shared/TrayImage.h"

#include <algorithm>
#include <vector>

namespace gwbench {

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The render and download code animate the tray; a benchmark measures them without one.
class QuietTray : public gw::TrayImage
{
public:
    gw::TrayList iconList() const override { return gw::TrayList::Globe; }
    void setIconList(gw::TrayList) override {}
    int imageCount() const override { return 26; }
    int frameIndex() const override { return 0; }
    void setFrameIndex(int) override {}
    bool animate() const override { return false; }
    void setAnimate(bool) override {}
};

} // namespace gwbench
