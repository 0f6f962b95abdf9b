#include "settings/ControlCatalogue.h"

#include "settings/Defaults.h"

namespace gw {

namespace {
using K = ControlKind;

ControlSpec check(const char* name, bool def = false) { return {QString::fromLatin1(name), K::CheckBox, def}; }
ControlSpec edit(const char* name) { return {QString::fromLatin1(name), K::Edit, QString()}; }
ControlSpec spin(const char* name, int def, int min = 0, int max = 0)
{
    return {QString::fromLatin1(name), K::SpinEdit, def, min, max};
}
ControlSpec radio(const char* name, const char* group, bool def = false)
{
    return {QString::fromLatin1(name), K::RadioButton, def, 0, 0, QString::fromLatin1(group)};
}
ControlSpec combo(const char* name, const QString& def) { return {QString::fromLatin1(name), K::ComboBox, def}; }
ControlSpec list(const char* name, K kind) { return {QString::fromLatin1(name), kind, QStringList()}; }
} // namespace

const QStringList& bodyList()
{
    static const QStringList bodies = {
        "default", "earth", "moon", "sun", "mercury", "venus", "mars", "phobos", "deimos", "jupiter",
        "io", "europa", "ganymede", "callisto", "saturn", "mimas", "enceladus", "tethys", "dione", "rhea",
        "titan", "hyperion", "iapetus", "phoebe", "uranus", "miranda", "ariel", "umbriel", "titania", "oberon",
        "neptune", "triton", "nereid", "pluto", "charon", "random", "major"};
    return bodies;
}

const QStringList& projectionList()
{
    static const QStringList projections = {"ancient", "azimuthal", "hemisphere", "lambert", "mercator", "mollweide",
                                            "peters", "orthographic", "rectangular", "random", "multiple bodies"};
    return projections;
}

const QVector<ControlSpec>& controlCatalogue()
{
    static const QVector<ControlSpec> table = {
        // Page "General"
        edit("edtAppFile"),
        check("cbStartEveryXsec"),
        spin("SpinEdit", 0),
        check("cbCheckForNewFile"),
        spin("seCheckForNewFiles", 1000, 5, 1000),
        check("cbStartMinimized"),
        check("cbLaunchAtStart"),
        check("cbStartAfterDownload"),
        check("cbMakeTransAtStart"),
        check("cbRestoreTrans"),
        check("cbHideApp"),
        check("cbDontUseOnBattery"),
        check("cbNotifications"),
        check("cbExecuteBefore"),
        edit("edtExecuteBefore"),
        radio("rbYes", "Startup", true),
        radio("rbNo", "Startup"),
        radio("rbIdle", "Priority"),
        radio("rbNormal", "Priority", true),
        radio("rbHigh", "Priority"),
        {QStringLiteral("ColorDialog"), K::Colour, 0},
        {QStringLiteral("Globewallenabled"), K::MenuCheck, true},
        // Page "Parameter", "Settings"
        combo("ddbConfig", QString()),
        spin("seRadius2", 40),
        combo("ddbViewBody", QString()),
        radio("rbLatLon", "Viewpoint", true),
        radio("rbOrigin", "Viewpoint"),
        radio("rbRandomViewpoint", "Viewpoint"),
        spin("seLat", 0),
        spin("seLon", 0),
        combo("cbOrigin", QStringLiteral("sun")),
        check("cbOriginOpposite"),
        radio("rbOriginAbove", "OriginSide", true),
        radio("rbOriginBelow", "OriginSide"),
        check("cbBackImage"),
        edit("edtBackImage"),
        combo("cbProjektion", QStringLiteral("orthographic")),
        spin("seRotate", 0, 0, 360),
        check("cbViewLabel"),
        check("cbCenter"),
        spin("seCenterX", 0),
        spin("seCenterY", 0),
        check("cbUseTempDir"),
        check("cbSaveDesktopFile"),
        // Page "Parameter", "XPlanet Configuration"
        combo("ddbBodyTarget", QStringLiteral("earth")),
        list("mMarkerfiles", K::ListBox),
        list("mSatfiles", K::ListBox),
        // Page "Parameter", "Additional command line parameter"
        check("rbStringParameter"),
        edit("edtParameter"),
        // Page "Download settings"
        check("cbUseProxy"),
        edit("edtProxy"),
        edit("edtProxyPort"),
        edit("edtProxyName"),
        edit("edtProxyPasswd"),
        edit("edtWebAdress"),
        edit("edtFileDestination"),
        check("cbDownload"),
        list("mTime", K::Memo),
        check("cbExecuteFileAfterDownload"),
        edit("edtExecuteFileAfterDownload"),
        check("cbUseMD5ForCloudDownload"),
        list("sgDownloadFiles", K::StringGrid),
        check("cbCheckForUpdate"),
        spin("seDownloadChecksPerDay", 0, 0, 2880),
        // Page "Time Sync"
        check("cbAdjustTime"),
        {QStringLiteral("cbTimeServer"), K::CheckListBox, QStringList{defaults::TimeServer}},
        // Hidden settings
        {QStringLiteral("PingServer"), K::HiddenText, defaults::PingServer},
        {QStringLiteral("DebugLevel"), K::HiddenInteger, 0},
        {QStringLiteral("ScreensaverDetection"), K::HiddenBool, true},
        {QStringLiteral("BatteryDetection"), K::HiddenBool, true},
        {QStringLiteral("UserAgent"), K::HiddenText, QString()},
        {QStringLiteral("HttpProtocolVersion"), K::HiddenText, QStringLiteral("HTTP/1.1")},
        // Page "General": where the picture goes, and the command for "command".
        combo("ddbDesktopBackground", QStringLiteral("automatic")),
        edit("edtBackgroundCommand"),

        // Not settings: controls of the "XPlanet Configuration" tab that show and edit the
        // renderer's own configuration file. They are never read from or written to the
        // settings file; they are listed so the window and MemorySettings know them.
        edit("map"),
        edit("night_map"),
        edit("cloud_map"),
        check("cbDrawOrbit"),
        spin("seMagnify", 1),
        {QStringLiteral("BodyColor"), K::Colour, 0},
        {QStringLiteral("OrbitColor"), K::Colour, 0},
        list("mBodyText", K::Memo),
    };
    return table;
}

const ControlSpec* findControl(const QString& name)
{
    for (const ControlSpec& spec : controlCatalogue())
        if (spec.name == name)
            return &spec;
    return nullptr;
}

QStringList radioGroupMembers(const QString& group)
{
    QStringList members;
    for (const ControlSpec& spec : controlCatalogue())
        if (spec.kind == ControlKind::RadioButton && spec.radioGroup == group)
            members << spec.name;
    return members;
}

int spinValueFromText(const QString& text, int minValue)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    if (!ok || v < INT32_MIN || v > INT32_MAX)
        return minValue;
    return static_cast<int>(v);
}

int spinClamp(int value, int minValue, int maxValue)
{
    if (minValue == maxValue)
        return value;
    return value < minValue ? minValue : (value > maxValue ? maxValue : value);
}

} // namespace gw
