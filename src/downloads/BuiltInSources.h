#pragma once
// The built-in data sources of SourceTable.def: which addresses belong to each, how often it
// publishes, how long its host wants between two requests, how the age of its content is read,
// and whether an answer other than 200 or 304 stops timed downloads from its host.
#include "shared/Endpoints.h"

#include <QString>

namespace gw::sources {

enum class ContentAge {
    LastModified, // the server's Last-Modified
    FeedGenerated, // the time the feed says it was generated; else Last-Modified
    TleEpoch, // the newest epoch of the element sets; else Last-Modified
    NewestDate, // the newest date of an event list's observations; else Last-Modified
};

struct Source
{
    const char* name;
    QString endpoints::Hosts::*host;
    const char* path; // "*" stands for any text
    int cadenceMinutes;
    int gapMinutes;
    ContentAge age;
    bool stopsOnRefusal;

    // The host as the endpoints give it now (tests point it at loopback).
    QString hostAddress() const { return endpoints::hosts().*host; }
    double cadenceDays() const { return cadenceMinutes / (24.0 * 60.0); }
};

enum Name {
#define GW_SOURCE(name, host, path, cadence, gap, age, stops) name,
#include "downloads/SourceTable.def"
#undef GW_SOURCE
    Count
};

const Source& source(Name name);

// The row `url` belongs to by its host and path; null for any other address.
const Source* forAddress(const QString& url);

// Host and port, lower case: a test server on loopback differs from another by its port.
QString hostKey(const QString& url);

// The least time between two requests to the host of `url`, in days; 0 when it has no rule.
double gapDays(const QString& url);
// True when the host of `url` counts every request and asks its clients to stop on an answer
// other than 200 or 304.
bool stopsOnRefusal(const QString& url);
// True when `url` is on the host of the source `name`, whatever its path.
bool onHostOf(Name name, const QString& url);

} // namespace gw::sources
