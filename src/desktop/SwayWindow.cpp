#include "desktop/SwayWindow.h"

#include "background/SwayIpc.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace gw {

namespace {

    constexpr int kSwayMs = 3000;
    const QString Scratchpad = QStringLiteral("__i3_scratch");

    struct Found
    {
        qint64 id = -1;
        bool inScratchpad = false;
    };

    // Depth first through tiled and floating children; the workspace a window lies in decides.
    void find(const QJsonObject& node, qint64 pid, const QString& workspace, Found* found)
    {
        if (found->id >= 0)
            return;
        const QString type = node.value(QLatin1String("type")).toString();
        const QString here
            = type == QLatin1String("workspace") ? node.value(QLatin1String("name")).toString() : workspace;
        if ((type == QLatin1String("con") || type == QLatin1String("floating_con"))
            && node.value(QLatin1String("pid")).toInteger(-1) == pid) {
            found->id = node.value(QLatin1String("id")).toInteger(-1);
            found->inScratchpad = here == Scratchpad;
            return;
        }
        for (const char* children : { "nodes", "floating_nodes" })
            for (const QJsonValue child : node.value(QLatin1String(children)).toArray())
                find(child.toObject(), pid, here, found);
    }

} // namespace

QStringList swayShowCommands(const QByteArray& tree, qint64 pid)
{
    Found found;
    find(QJsonDocument::fromJson(tree).object(), pid, QString(), &found);
    if (found.id < 0)
        return {};
    const QString criteria = QStringLiteral("[con_id=%1] ").arg(found.id);
    if (found.inScratchpad)
        return { criteria + QStringLiteral("scratchpad show"), criteria + QStringLiteral("focus") };
    return { criteria + QStringLiteral("focus") };
}

void showOnSway(qint64 pid)
{
    if (qEnvironmentVariableIsEmpty("SWAYSOCK"))
        return;
    QByteArray tree;
    if (!swayRequest(SwayMessage::GetTree, {}, kSwayMs, &tree).isEmpty())
        return;
    for (const QString& command : swayShowCommands(tree, pid)) {
        QByteArray reply;
        swayRequest(SwayMessage::RunCommand, command.toUtf8(), kSwayMs, &reply);
    }
}

} // namespace gw
