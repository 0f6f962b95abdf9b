#pragma once
// The list of active tropical storms (an object whose "activeStorms" hold each storm's name,
// classification, intensity in knots and position) as marker lines: one marker per storm,
// labelled "NAME (category or class)" and coloured by its intensity. An empty list gives no
// marker: no storm is news too.
#include <QByteArray>
#include <QByteArrayView>

#include <limits>
#include <vector>

class QIODevice;

namespace gw::feeds {
struct Conversion;
}

namespace gw::storms {

struct Storm
{
    QByteArray name;
    QByteArray classification;
    double knots = std::numeric_limits<double>::quiet_NaN();
    double latitude = std::numeric_limits<double>::quiet_NaN();
    double longitude = std::numeric_limits<double>::quiet_NaN();
    qint64 msecs = 0; // the time of its last advisory since 1970; 0 when not stated
};

bool markers(QIODevice& in, feeds::Conversion& c);
// The storms of the list with a position xplanet can place, counted in `c`.
bool readStorms(QIODevice& in, feeds::Conversion& c, std::vector<Storm>& storms);
// One storm's marker line: `lat lon "NAME (what)" color={..} symbolsize=8`.
void appendMarker(
    feeds::Conversion& c, double latitude, double longitude, QByteArrayView name, QByteArrayView what, double knots);

// What the label says of a storm: the category of a hurricane by its wind in knots, else the
// class spelled out ("tropical storm").
QByteArray classText(QByteArrayView classification, double knots);
// "{R,G,B}": blue for a depression, yellow for a storm, orange to red by category, magenta
// for category 5; white when the wind is not known.
QByteArray colorFor(double knots);

} // namespace gw::storms
