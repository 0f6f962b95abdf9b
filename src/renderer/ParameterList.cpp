#include "renderer/ParameterList.h"

#include "renderer/CommandLine.h"
#include "renderer/RendererLayout.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "settings/SettingsTable.h"

#include <QFileInfo>

namespace gw {

namespace {

    QString signedNumber(int value)
    {
        // Written from the 64-bit value so that INT_MIN keeps its digits.
        const qint64 v = value;
        return (v < 0 ? QStringLiteral("-") : QStringLiteral("+")) + QString::number(v < 0 ? -v : v);
    }

    QString projectionEntry(const QString& projection, QRandomGenerator& random)
    {
        if (projection == QLatin1String("multiple bodies"))
            return QString();
        if (projection == QLatin1String("random")) {
            // Among the real projections: every entry except "random" and "multiple bodies".
            const QStringList& entries = projectionList();
            const int pick = static_cast<int>(random.bounded(static_cast<quint32>(entries.size() - 2)));
            return QStringLiteral("-projection ") + entries.at(pick);
        }
        return QStringLiteral("-projection ") + projection;
    }

} // namespace

QString centerEntry(int x, int y)
{
    return QStringLiteral("-center ") + signedNumber(x) + signedNumber(y);
}

QStringList GenParameterListFromNewEasy(const SettingsAccess& s, const RendererLayout& layout, QRandomGenerator& random)
{
    QStringList list;
    const QString config = s.text(ctl::ddbConfig);
    if (!config.isEmpty())
        list << QStringLiteral("-config ") + quoteArgument(config);
    list << QStringLiteral("-num_times 1");
    list << QStringLiteral("-body ") + s.text(ctl::ddbViewBody);
    list << QStringLiteral("-radius ") + QString::number(s.integer(ctl::seRadius2));

    if (s.checked(ctl::cbBackImage)) {
        const QString name = s.text(ctl::edtBackImage);
        // A file, not the images folder itself when the name is empty.
        if (QFileInfo(layout.imagesFolder() + name).isFile())
            list << QStringLiteral("-background ") + quoteArgument(name);
    }

    if (s.checked(ctl::rbLatLon))
        list << QStringLiteral("-lat ") + QString::number(s.integer(ctl::seLat)) + QStringLiteral(" -lon ")
                + QString::number(s.integer(ctl::seLon));
    if (s.checked(ctl::rbOrigin))
        list << QStringLiteral("-origin ") + (s.checked(ctl::cbOriginOpposite) ? QStringLiteral("-") : QString())
                + s.text(ctl::cbOrigin);
    if (s.checked(ctl::rbRandomViewpoint))
        list << QStringLiteral("-random");
    if (s.checked(ctl::cbViewLabel))
        list << QStringLiteral("-label");

    if (s.checked(ctl::cbUseTempDir)) {
        QString folder = layout.rendererFolder();
        if (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
            folder.chop(1);
        // Always quoted, as it always was; a quote inside is escaped, so it stays one argument.
        list << QStringLiteral("-tmpdir ") + quoteArgument(folder, true);
    }
    if (s.checked(ctl::cbSaveDesktopFile))
        list << QStringLiteral("-save_desktop_file");

    const QString projection = projectionEntry(s.text(ctl::cbProjektion), random);
    if (!projection.isEmpty())
        list << projection;

    list << QStringLiteral("-rotate ") + QString::number(s.integer(ctl::seRotate));
    if (s.checked(ctl::cbCenter))
        list << centerEntry(s.integer(ctl::seCenterX), s.integer(ctl::seCenterY));
    return list;
}

} // namespace gw
