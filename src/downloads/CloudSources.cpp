#include "downloads/CloudSources.h"

#include "shared/Endpoints.h"

#include <iterator>

namespace gw::cloudsources {

namespace {

    struct Size
    {
        const char* size;
        const char* width;
    };

    // Every three hours a new map, in these sizes.
    constexpr Size kSizes[]
        = { { "1024x512", "1024" }, { "2048x1024", "2048" }, { "4096x2048", "4096" }, { "8192x4096", "8192" } };
    constexpr int kCount = int(std::size(kSizes));

} // namespace

QStringList captions()
{
    QStringList list = { QStringLiteral("own address") };
    for (const Size& s : kSizes)
        list << QStringLiteral("live clouds ") + QLatin1String(s.size);
    return list;
}

QString address(int index)
{
    if (index < 1 || index > kCount)
        return {};
    return endpoints::liveCloudMap(QLatin1String(kSizes[index - 1].size));
}

QString fileName(int index)
{
    if (index < 1 || index > kCount)
        return {};
    return QStringLiteral("clouds_") + QLatin1String(kSizes[index - 1].width) + QStringLiteral(".jpg");
}

QString movedAddress(const QString& url)
{
    // The addresses earlier versions wrote, exactly: nobody else's address is changed.
    for (int i = 1; i <= kCount; ++i)
        if (url
            == QStringLiteral("https://matteason.github.io/live-cloud-maps/images/") + QLatin1String(kSizes[i - 1].size)
                + QStringLiteral("/clouds.jpg"))
            return address(i);
    return {};
}

int indexOf(const QString& url)
{
    for (int i = 1; i <= kCount; ++i)
        if (url.trimmed() == address(i))
            return i;
    return 0;
}

} // namespace gw::cloudsources
