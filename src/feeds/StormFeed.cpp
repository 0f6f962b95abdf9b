#include "feeds/StormFeed.h"

#include "feeds/FeedConversion.h"
#include "feeds/JsonStream.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace gw::storms {

namespace {

    using feeds::JsonStream;
    using Token = JsonStream::Token;

    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

    // The wind speed category of a hurricane (typhoon, cyclone), by its sustained wind in knots.
    int categoryOf(double knots)
    {
        if (knots >= 137)
            return 5;
        if (knots >= 113)
            return 4;
        if (knots >= 96)
            return 3;
        if (knots >= 83)
            return 2;
        return 1;
    }

    // The feed gives the intensity as text ("100"); a number is taken as well.
    double numberOf(JsonStream& json, Token t)
    {
        if (t == Token::Number)
            return json.number();
        if (t != Token::String)
            return kNaN;
        double value = kNaN;
        const QByteArray& text = json.text();
        const auto [end, ec] = std::from_chars(text.constData(), text.constData() + text.size(), value);
        return ec == std::errc() && end == text.constData() + text.size() ? value : kNaN;
    }

    bool readStorm(JsonStream& json, Storm& storm)
    {
        return json.members([&](const QByteArray& key) {
            const QByteArray name = key;
            const Token t = json.next();
            if (name == "name" && t == Token::String)
                storm.name = json.text().left(feeds::limits::maxLabel);
            else if (name == "classification" && t == Token::String)
                storm.classification = json.text().left(8);
            else if (name == "intensity")
                storm.knots = numberOf(json, t);
            else if (name == "latitudeNumeric")
                storm.latitude = numberOf(json, t);
            else if (name == "longitudeNumeric")
                storm.longitude = numberOf(json, t);
            else if (name == "lastUpdate" && t == Token::String) {
                storm.msecs = feeds::isoTimeMsecs(json.text());
            }
            return json.skip(t);
        });
    }

} // namespace

void appendMarker(
    feeds::Conversion& c, double latitude, double longitude, QByteArrayView name, QByteArrayView what, double knots)
{
    QByteArray& out = c.out.line();
    feeds::appendPosition(out, latitude, longitude);
    out += " \"";
    feeds::appendLabelText(out, name.isEmpty() ? QByteArrayView("unnamed") : name);
    out += " (";
    feeds::appendLabelText(out, what);
    out += ")\" color=";
    out += colorFor(knots);
    out += " symbolsize=8\r\n";
    c.out.lineDone();
}

QByteArray classText(QByteArrayView classification, double knots)
{
    const bool known = std::isfinite(knots) && knots > 0 && knots < 400;
    if (classification == "HU" || classification == "TY")
        return known ? "category " + QByteArray::number(categoryOf(knots)) : QByteArray("hurricane");
    static const struct
    {
        const char* code;
        const char* text;
    } kClasses[] = {
        { "TS", "tropical storm" },
        { "TD", "tropical depression" },
        { "STS", "subtropical storm" },
        { "SS", "subtropical storm" },
        { "STD", "subtropical depression" },
        { "SD", "subtropical depression" },
        { "PTC", "potential tropical cyclone" },
        { "PC", "post-tropical cyclone" },
    };
    for (const auto& c : kClasses)
        if (classification == c.code)
            return c.text;
    return classification.isEmpty() ? QByteArray("storm") : classification.toByteArray();
}

QByteArray colorFor(double knots)
{
    if (!std::isfinite(knots) || knots <= 0 || knots >= 400)
        return "{255,255,255}";
    if (knots < 34)
        return "{0,170,255}";
    if (knots < 64)
        return "{255,255,0}";
    switch (categoryOf(knots)) {
    case 1:
        return "{255,170,0}";
    case 2:
        return "{255,110,0}";
    case 3:
        return "{255,40,0}";
    case 4:
        return "{200,0,0}";
    default:
        return "{255,0,255}";
    }
}

bool readStorms(QIODevice& in, feeds::Conversion& c, std::vector<Storm>& storms)
{
    static constexpr feeds::JsonList kList { "activeStorms", feeds::JsonList::Objects, "not a storm list",
        "no activeStorms in the list" };
    return feeds::readJsonList(in, c, kList, [&](JsonStream& json) {
        Storm storm;
        if (!readStorm(json, storm))
            return false;
        if (feeds::isPosition(storm.latitude, storm.longitude)) {
            ++c.positions;
            storms.push_back(std::move(storm));
        }
        return true;
    });
}

bool markers(QIODevice& in, feeds::Conversion& c)
{
    std::vector<Storm> storms;
    if (!readStorms(in, c, storms))
        return false;
    for (const Storm& storm : storms)
        appendMarker(
            c, storm.latitude, storm.longitude, storm.name, classText(storm.classification, storm.knots), storm.knots);
    return true;
}

} // namespace gw::storms
