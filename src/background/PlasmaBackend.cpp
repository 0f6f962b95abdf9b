// KDE Plasma 5 and 6: the shell's scripting interface on the session bus. The lock screen
// reads its own configuration file whenever it locks; Plasma's own tool writes it.
#include "background/BackendFactories.h"
#include "background/BusCall.h"
#include "background/PlasmaScript.h"
#include "background/ToolRun.h"

#include <QStandardPaths>

#include <QUrl>

namespace gw {

QString plasmaScript(const QVector<Picture>& pictures)
{
    QString list;
    for (const Picture& p : pictures) {
        QString url = QUrl::fromLocalFile(p.file).toString(QUrl::FullyEncoded);
        url.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
        list += QStringLiteral("{x:%1,y:%2,url:\"%3\"},").arg(p.geometry.x()).arg(p.geometry.y()).arg(url);
    }
    return QStringLiteral("var pictures=[") + list
        + QStringLiteral("];\n"
                         "var all=desktops();\n"
                         "for(var i=0;i<all.length;i++){\n"
                         " var d=all[i]; var g=screenGeometry(d.screen); var pick=null;\n"
                         " for(var j=0;j<pictures.length;j++)\n"
                         "  if(pictures[j].x==g.x&&pictures[j].y==g.y) pick=pictures[j];\n"
                         " if(!pick) pick=pictures[Math.min(Math.max(d.screen,0),pictures.length-1)];\n"
                         " d.wallpaperPlugin=\"org.kde.image\";\n"
                         " d.currentConfigGroup=[\"Wallpaper\",\"org.kde.image\",\"General\"];\n"
                         " d.writeConfig(\"Image\",pick.url);\n"
                         "}\n");
}

namespace backends {

    namespace {

        class PlasmaBackend : public DesktopBackend
        {
        public:
            PictureLayout layout() const override { return PictureLayout::PerMonitor; }
            QString apply(const ApplyRequest& request) override
            {
                QString error;
                callSessionBus(QStringLiteral("org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
                    QStringLiteral("org.kde.PlasmaShell"), QStringLiteral("evaluateScript"),
                    { plasmaScript(request.pictures) }, request.timeoutMs, &error);
                return error;
            }

            // One picture for every screen's lock screen: the first monitor's.
            bool hasLockScreen() const override { return true; }
            QString applyLockScreen(const ApplyRequest& request) override
            {
                QString tool = QStandardPaths::findExecutable(QStringLiteral("kwriteconfig6"));
                if (tool.isEmpty())
                    tool = QStandardPaths::findExecutable(QStringLiteral("kwriteconfig5"));
                if (tool.isEmpty())
                    return QStringLiteral("neither kwriteconfig6 nor kwriteconfig5 is installed");
                const QString url = QUrl::fromLocalFile(request.pictures.first().file).toString(QUrl::FullyEncoded);
                const QStringList file = { QStringLiteral("--file"), QStringLiteral("kscreenlockerrc"),
                    QStringLiteral("--group"), QStringLiteral("Greeter") };
                const QStringList image = file
                    + QStringList { QStringLiteral("--group"), QStringLiteral("Wallpaper"), QStringLiteral("--group"),
                          QStringLiteral("org.kde.image"), QStringLiteral("--group"), QStringLiteral("General"),
                          QStringLiteral("--key") };
                const QList<QStringList> writes = {
                    file
                        + QStringList { QStringLiteral("--key"), QStringLiteral("WallpaperPlugin"),
                            QStringLiteral("org.kde.image") },
                    image + QStringList { QStringLiteral("Image"), url },
                    image + QStringList { QStringLiteral("PreviewImage"), url },
                };
                for (const QStringList& arguments : writes) {
                    const QString error = runTool(tool, arguments, request.timeoutMs).error;
                    if (!error.isEmpty())
                        return error;
                }
                return {};
            }
        };

    } // namespace

    std::unique_ptr<DesktopBackend> plasma()
    {
        return std::make_unique<PlasmaBackend>();
    }

} // namespace backends
} // namespace gw
