#include "background/GSettingsTool.h"

#include "background/ToolRun.h"

namespace gw {

namespace {
    const QString kTool = QStringLiteral("gsettings");
}

QString gvariantString(const QString& value)
{
    QString text = value;
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

QString spanOption(int monitors)
{
    return gvariantString(monitors > 1 ? QStringLiteral("spanned") : QStringLiteral("zoom"));
}

QString writeGSettings(const GSettingsWrite& write, int timeoutMs, bool* unconfirmed)
{
    if (unconfirmed)
        *unconfirmed = false;
    const ToolResult list = runTool(kTool, { QStringLiteral("list-keys"), write.schema }, timeoutMs);
    if (!list.error.isEmpty())
        return list.error.contains(QLatin1String("No such schema"))
            ? QStringLiteral("the settings schema ") + write.schema + QStringLiteral(" is not installed")
            : list.error;
    const QStringList present = QString::fromUtf8(list.output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);

    QString expected;
    for (const auto& [key, value] : write.keys) {
        if (!present.contains(key))
            continue;
        const ToolResult set = runTool(kTool, { QStringLiteral("set"), write.schema, key, value }, timeoutMs);
        if (!set.error.isEmpty())
            return set.error;
        if (key == write.checkKey)
            expected = value;
    }
    const ToolResult get = runTool(kTool, { QStringLiteral("get"), write.schema, write.checkKey }, timeoutMs);
    if (!get.error.isEmpty())
        return get.error;
    // gsettings prints a string in double quotes when it holds a single quote; compare the text.
    const auto unquote = [](QString t) {
        t = t.trimmed();
        if (t.size() >= 2 && (t.front() == QLatin1Char('\'') || t.front() == QLatin1Char('"')))
            t = t.mid(1, t.size() - 2);
        return t.replace(QStringLiteral("\\'"), QStringLiteral("'"))
            .replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    };
    if (unquote(QString::fromUtf8(get.output)) == unquote(expected))
        return {};
    if (unconfirmed)
        *unconfirmed = true;
    return write.schema + QLatin1Char(' ') + write.checkKey
        + QStringLiteral(" did not keep the new value (is the settings service dconf running?)");
}

} // namespace gw
