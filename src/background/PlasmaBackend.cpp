// KDE Plasma 5 and 6: the shell's scripting interface on the session bus.
#include "background/BackendFactories.h"
#include "background/BusCall.h"
#include "background/PlasmaScript.h"

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
        };

    } // namespace

    std::unique_ptr<DesktopBackend> plasma()
    {
        return std::make_unique<PlasmaBackend>();
    }

} // namespace backends
} // namespace gw
