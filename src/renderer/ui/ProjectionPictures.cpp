#include "renderer/ui/ProjectionPictures.h"

#include "settings/SettingsTable.h"

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerProjectionResources()
{
    Q_INIT_RESOURCE(projections);
}

namespace gw {

void initProjectionPictures()
{
    registerProjectionResources();
}

int projectionPictureCount()
{
    return static_cast<int>(projectionList().size());
}

QPixmap projectionPicture(int index)
{
    if (index < 0 || index >= projectionPictureCount())
        return QPixmap();
    QString name = projectionList().at(index);
    name.replace(QLatin1Char(' '), QLatin1Char('-'));
    return QPixmap(QStringLiteral(":/projections/") + name + QStringLiteral(".png"));
}

int projectionEntryFor(const QString& text, int selectedIndex)
{
    const QStringList& entries = projectionList();
    if (selectedIndex >= 0 && selectedIndex < entries.size() && entries.at(selectedIndex) == text)
        return selectedIndex;
    for (int i = 0; i < entries.size(); ++i)
        if (entries.at(i).compare(text, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

} // namespace gw
