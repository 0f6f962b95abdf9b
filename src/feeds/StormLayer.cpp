#include "feeds/StormLayer.h"

#include "feeds/StormFeed.h"
#include "shared/PartFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <memory>

namespace gw::feeds {

namespace {

    constexpr double kSameStormKm = 300;
    constexpr qint64 kSameHourMsecs = 3600 * 1000;
    // The list's storms an event is compared with: no season has had more than a dozen active
    // at once, and a hostile list of thousands must not make the comparison quadratic.
    constexpr size_t kListCompared = 64;

    // The class words a tracker's title starts with, longest first.
    constexpr const char* kTitleClasses[]
        = { "Post-Tropical Cyclone ", "Potential Tropical Cyclone ", "Severe Tropical Storm ", "Severe Cyclonic Storm ",
              "Very Severe Cyclonic Storm ", "Subtropical Storm ", "Tropical Depression ", "Tropical Cyclone ",
              "Tropical Storm ", "Super Typhoon ", "Cyclonic Storm ", "Hurricane ", "Typhoon ", "Cyclone " };

    struct Inputs
    {
        std::vector<storms::Storm> list;
        std::vector<eonet::Event> events;
    };

    // One download read by `read`, with the bounds and checks of every feed; false with the
    // reason, named by `what`.
    template <typename Read> bool readOne(QIODevice& in, qint64 size, const char* what, QString* error, Read&& read)
    {
        const auto failed = [&](const QString& why) {
            *error = QLatin1String(what) + QStringLiteral(": ") + why;
            return false;
        };
        if (size > limits::maxFileBytes)
            return failed(QStringLiteral("%1 bytes, more than the %2 MiB a feed may have")
                              .arg(size)
                              .arg(limits::maxFileBytes / (1024 * 1024)));
        const QByteArray head = in.peek(64);
        QByteArrayView start = head;
        if (start.startsWith("\xEF\xBB\xBF"))
            start = start.sliced(3);
        while (!start.isEmpty() && static_cast<unsigned char>(start.front()) <= ' ')
            start = start.sliced(1);
        if (!start.startsWith('{'))
            return failed(size == 0 ? QStringLiteral("empty file") : QStringLiteral("no JSON document"));
        QBuffer nowhere;
        nowhere.open(QIODevice::WriteOnly);
        MarkerSink sink(nowhere);
        Conversion c { sink, Options() };
        if (!read(in, c))
            return failed(c.error);
        if (c.records > 0 && c.positions == 0)
            return failed(QStringLiteral("not one of its %1 records has a position").arg(c.records));
        return true;
    }

    bool readInputs(
        QIODevice* list, qint64 listSize, QIODevice* events, qint64 eventsSize, Inputs& inputs, QString* error)
    {
        if (list && !readOne(*list, listSize, "storm list", error, [&](QIODevice& in, Conversion& c) {
                return storms::readStorms(in, c, inputs.list);
            }))
            return false;
        return !events || readOne(*events, eventsSize, "storm events", error, [&](QIODevice& in, Conversion& c) {
            return eonet::readEvents(in, c, inputs.events);
        });
    }

    QByteArray upper(QByteArrayView text)
    {
        return text.toByteArray().trimmed().toUpper();
    }

    // The wind speed the tracker gives in knots; NaN past any storm's.
    double knotsOf(const eonet::Observation& o)
    {
        return std::isfinite(o.magnitude) && o.magnitude < 400 ? o.magnitude : std::nan("");
    }

    // True when the tracker's event is the list's storm.
    bool sameStorm(const eonet::Event& event, const storms::Storm& storm)
    {
        if (!storm.name.isEmpty() && upper(stormName(event.title)) == upper(storm.name))
            return true;
        if (storm.msecs == 0) {
            const eonet::Observation& o = event.latest();
            return distanceKm(o.latitude, o.longitude, storm.latitude, storm.longitude) <= kSameStormKm;
        }
        for (const eonet::Observation& o : event.track)
            if (o.msecs != 0 && std::abs(o.msecs - storm.msecs) <= kSameHourMsecs
                && distanceKm(o.latitude, o.longitude, storm.latitude, storm.longitude) <= kSameStormKm)
                return true;
        return false;
    }

    // The class of a storm the list does not have: by its wind when the tracker gives one,
    // else as its title calls it.
    QByteArray classOf(const eonet::Event& event)
    {
        const double knots = knotsOf(event.latest());
        if (std::isfinite(knots) && knots > 0) {
            if (knots >= 64)
                return storms::classText("HU", knots);
            return knots >= 34 ? QByteArray("tropical storm") : QByteArray("tropical depression");
        }
        QByteArrayView titleClass;
        stormName(event.title, &titleClass);
        return titleClass.isEmpty() ? QByteArray("storm") : titleClass.toByteArray().trimmed().toLower();
    }

    void appendSegment(MarkerSink& arcs, double lat1, double lon1, double lat2, double lon2, double knots)
    {
        if (lat1 == lat2 && lon1 == lon2)
            return;
        QByteArray& out = arcs.line();
        appendPosition(out, lat1, lon1);
        out += ' ';
        appendPosition(out, lat2, lon2);
        out += " color=";
        out += storms::colorFor(knots);
        out += " thickness=2\r\n";
        arcs.lineDone();
    }

    void appendTrack(MarkerSink& arcs, const eonet::Event& event, const storms::Storm* listed)
    {
        const auto& track = event.track;
        for (size_t i = 1; i < track.size(); ++i)
            appendSegment(arcs, track[i - 1].latitude, track[i - 1].longitude, track[i].latitude, track[i].longitude,
                knotsOf(track[i - 1]));
        // The list's position when it is newer: the track ends at the marker.
        if (listed && listed->msecs > event.latest().msecs)
            appendSegment(arcs, event.latest().latitude, event.latest().longitude, listed->latitude, listed->longitude,
                knotsOf(event.latest()));
    }

    void writeLayer(const Inputs& inputs, Conversion& markers, MarkerSink& arcs)
    {
        for (const storms::Storm& storm : inputs.list)
            storms::appendMarker(markers, storm.latitude, storm.longitude, storm.name,
                storms::classText(storm.classification, storm.knots), storm.knots);
        for (const eonet::Event& event : inputs.events) {
            const storms::Storm* listed = nullptr;
            for (size_t i = 0; i < std::min(inputs.list.size(), kListCompared) && !listed; ++i)
                if (sameStorm(event, inputs.list[i]))
                    listed = &inputs.list[i];
            if (!listed) {
                const eonet::Observation& o = event.latest();
                storms::appendMarker(
                    markers, o.latitude, o.longitude, stormName(event.title), classOf(event), knotsOf(o));
            }
            appendTrack(arcs, event, listed);
        }
    }

    std::unique_ptr<QFile> openInput(const QString& path, QString* error, bool* failed)
    {
        if (path.isEmpty() || !QFile::exists(path))
            return nullptr;
        auto file = std::make_unique<QFile>(path);
        if (!file->open(QIODevice::ReadOnly)) {
            *error = QFileInfo(path).fileName() + QStringLiteral(": cannot read it: ") + file->errorString();
            *failed = true;
        }
        return file;
    }

} // namespace

QByteArrayView stormName(QByteArrayView title, QByteArrayView* titleClass)
{
    QByteArrayView name = title.trimmed();
    if (titleClass)
        *titleClass = {};
    for (const char* words : kTitleClasses) {
        const QByteArrayView prefix(words);
        if (name.size() > prefix.size() && name.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0) {
            if (titleClass)
                *titleClass = name.first(prefix.size());
            name = name.sliced(prefix.size()).trimmed();
            break;
        }
    }
    return name;
}

double distanceKm(double lat1, double lon1, double lat2, double lon2)
{
    constexpr double kRadians = M_PI / 180, kEarthKm = 6371.0;
    const double dLat = (lat2 - lat1) * kRadians, dLon = (lon2 - lon1) * kRadians;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2)
        + std::cos(lat1 * kRadians) * std::cos(lat2 * kRadians) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthKm * std::asin(std::min(1.0, std::sqrt(a)));
}

bool eonetStormMarkers(QIODevice& in, Conversion& c)
{
    Inputs inputs;
    if (!eonet::readEvents(in, c, inputs.events))
        return false;
    QBuffer nowhere;
    nowhere.open(QIODevice::WriteOnly);
    MarkerSink arcs(nowhere);
    writeLayer(inputs, c, arcs);
    return true;
}

bool convertStormText(
    const QByteArray& list, const QByteArray& events, QByteArray* markers, QByteArray* arcs, QString* error)
{
    QByteArray listCopy = list, eventsCopy = events;
    QBuffer listIn(&listCopy), eventsIn(&eventsCopy);
    listIn.open(QIODevice::ReadOnly);
    eventsIn.open(QIODevice::ReadOnly);
    Inputs inputs;
    QString why;
    markers->clear();
    arcs->clear();
    if (!readInputs(list.isNull() ? nullptr : &listIn, list.size(), events.isNull() ? nullptr : &eventsIn,
            events.size(), inputs, &why)) {
        if (error)
            *error = why;
        return false;
    }
    QBuffer markersOut(markers), arcsOut(arcs);
    markersOut.open(QIODevice::WriteOnly);
    arcsOut.open(QIODevice::WriteOnly);
    MarkerSink markerSink(markersOut), arcSink(arcsOut);
    Conversion c { markerSink, Options() };
    writeLayer(inputs, c, arcSink);
    return markerSink.finish(&why) && arcSink.finish(&why);
}

StormOutcome convertStorms(const StormFiles& files)
{
    StormOutcome outcome;
    bool failed = false;
    const std::unique_ptr<QFile> list = openInput(files.list, &outcome.error, &failed);
    const std::unique_ptr<QFile> events = openInput(files.events, &outcome.error, &failed);
    if (!list && !events)
        return outcome;
    outcome.status = Outcome::Failed;
    if (failed)
        return outcome;
    Inputs inputs;
    if (!readInputs(
            list.get(), list ? list->size() : 0, events.get(), events ? events->size() : 0, inputs, &outcome.error))
        return outcome;
    PartFile markerPart(files.markerFile), arcPart(files.arcFile);
    if (!markerPart.isOpen() || !arcPart.isOpen()) {
        outcome.error = QStringLiteral("cannot create a file beside ")
            + QFileInfo(markerPart.isOpen() ? files.arcFile : files.markerFile).fileName();
        return outcome;
    }
    MarkerSink markerSink(markerPart.file()), arcSink(arcPart.file());
    Conversion c { markerSink, Options() };
    writeLayer(inputs, c, arcSink);
    if (!markerSink.finish(&outcome.error) || !arcSink.finish(&outcome.error))
        return outcome;
    if (!markerPart.replaceDestination() || !arcPart.replaceDestination()) {
        outcome.error = QStringLiteral("cannot replace ") + QFileInfo(files.markerFile).fileName();
        return outcome;
    }
    outcome.status = Outcome::Written;
    outcome.markers = markerSink.markers();
    outcome.segments = arcSink.markers();
    return outcome;
}

} // namespace gw::feeds
