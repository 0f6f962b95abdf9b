#include "app/AppIcon.h"

namespace gw {

QIcon globewallIcon()
{
    QIcon icon;
    for (int size : { 16, 22, 24, 32, 48, 64 })
        icon.addFile(QStringLiteral(":/icon/%1x%1/apps/globewall.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace gw
