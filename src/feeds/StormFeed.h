#pragma once
// The list of active tropical storms (an object whose "activeStorms" hold each storm's name,
// classification, intensity in knots and position) as marker lines: one marker per storm,
// labelled "NAME (category or class)" and coloured by its intensity. An empty list gives no
// marker: no storm is news too.
#include <QByteArray>
#include <QByteArrayView>

class QIODevice;

namespace gw::feeds {
struct Conversion;
}

namespace gw::storms {

bool markers(QIODevice& in, feeds::Conversion& c);

// What the label says of a storm: the category of a hurricane by its wind in knots, else the
// class spelled out ("tropical storm").
QByteArray classText(QByteArrayView classification, double knots);
// "{R,G,B}": blue for a depression, yellow for a storm, orange to red by category, magenta
// for category 5; white when the wind is not known.
QByteArray colorFor(double knots);

} // namespace gw::storms
