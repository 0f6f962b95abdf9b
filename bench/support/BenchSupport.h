#pragma once
// What every benchmark needs: the median of its rounds, and a tray that shows nothing.
#include "shared/TrayImage.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace gwbench {

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Times `ours` against `reference` for `rounds` rounds, alternating which runs first so neither
// always finds the caches warm; prints one line a round and gives the ratios.
template <typename Ours, typename Reference>
std::vector<double> alternatingRatios(int rounds, Ours ours, Reference reference)
{
    std::vector<double> ratios;
    for (int i = 0; i < rounds; ++i) {
        double mine = 0;
        double theirs = 0;
        if (i % 2 == 0) {
            mine = ours();
            theirs = reference();
        } else {
            theirs = reference();
            mine = ours();
        }
        ratios.push_back(mine / theirs);
        std::printf("%-6d %11.1f ms %9.1f ms %8.3f\n", i + 1, mine, theirs, ratios.back());
    }
    return ratios;
}

struct Medians
{
    double ours = 0;
    double reference = 0;
};

// The same rounds, giving the median time of each side.
template <typename Ours, typename Reference> Medians alternatingMedians(int rounds, Ours ours, Reference reference)
{
    std::vector<double> mine, theirs;
    alternatingRatios(
        rounds,
        [&] {
            mine.push_back(ours());
            return mine.back();
        },
        [&] {
            theirs.push_back(reference());
            return theirs.back();
        });
    return { median(mine), median(theirs) };
}

// The render and download code animate the tray; a benchmark measures them without one.
class QuietTray : public gw::TrayImage
{
public:
    gw::TrayList iconList() const override { return gw::TrayList::Globe; }
    void setIconList(gw::TrayList) override { }
    int imageCount() const override { return 26; }
    int frameIndex() const override { return 0; }
    void setFrameIndex(int) override { }
    bool animate() const override { return false; }
    void setAnimate(bool) override { }
};

} // namespace gwbench
