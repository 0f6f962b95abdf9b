// Which of the user's own renderer arguments already say where the picture goes. xplanet
// reads its options as getopt_long_only does: one or two dashes, "=value" allowed, and any
// abbreviation that fits exactly one option ("-geom" is -geometry, "-outp" fits -output,
// -output_map and -output_start_index and is refused). So the whole option table is needed
// to tell what an abbreviation means.
#include "background/DesktopBackend.h"

#include <string>
#include <string_view>

namespace gw {

namespace {

    // xplanet's options (as `xplanet -help` lists them), plus "root", which older versions had.
    constexpr std::string_view kOptions[] = { "arc_file", "arc_spacing", "arc_thickness", "background",
        "base_magnitude", "body", "center", "color", "config", "create_scattering_tables", "date", "date_format",
        "dynamic_origin", "ephemeris_file", "font", "fontsize", "fork", "fov", "geometry", "glare", "gmtlabel",
        "grs_longitude", "hibernate", "idlewait", "interpolate_origin_file", "jdate", "label", "labelpos",
        "label_altitude", "label_body", "label_string", "latitude", "light_time", "localtime", "log_magstep",
        "longitude", "make_cloud_maps", "marker_file", "markerbounds", "north", "num_times", "origin", "origin_file",
        "output", "output_map", "output_start_index", "pango", "path_relative_to", "post_command", "prev_command",
        "print_ephemeris", "projection", "proj_param", "quality", "radius", "random", "range", "rotate",
        "save_desktop_file", "searchdir", "separation", "spice_ephemeris", "spice_file", "starfreq", "starmap",
        "target", "tt", "timewarp", "tmpdir", "transparency", "transpng", "utclabel", "verbosity", "version", "vroot",
        "wait", "window", "window-id", "window_title", "xid", "xscreensaver", "xyz_file", "root" };

    // Those that choose the picture's file, size or window: -transpng writes a file as -output
    // does, -XID and -window-id draw into a given window, -vroot into the virtual root.
    constexpr std::string_view kChooseOutput[]
        = { "output", "transpng", "geometry", "window", "window-id", "xid", "vroot", "root" };

    // The option an argument names, as xplanet resolves it; empty when none or ambiguous.
    std::string_view resolve(const std::string& name)
    {
        std::string_view found;
        for (const std::string_view option : kOptions) {
            if (option == name)
                return option;
            if (option.substr(0, name.size()) == name) {
                if (!found.empty())
                    return {};
                found = option;
            }
        }
        return found;
    }

} // namespace

bool argumentsChooseOutput(const QStringList& arguments)
{
    for (const QString& a : arguments) {
        if (a.size() < 2 || !a.startsWith(QLatin1Char('-')))
            continue;
        QString name = a.mid(a.startsWith(QStringLiteral("--")) ? 2 : 1);
        name.truncate(name.indexOf(QLatin1Char('=')) < 0 ? name.size() : name.indexOf(QLatin1Char('=')));
        if (name.isEmpty())
            continue;
        const std::string_view option = resolve(name.toLower().toStdString());
        for (const std::string_view chooser : kChooseOutput)
            if (!option.empty() && option == chooser)
                return true;
    }
    return false;
}

} // namespace gw
