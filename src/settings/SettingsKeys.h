#pragma once
// Names of the settings file: the base file and its sections. Every part that reads or writes
// the settings file by hand (the download records, for one) takes the names from here.
#include <QString>

namespace gw::settingsfile {

inline const QString BaseFileName = QStringLiteral("Globewall.ini");
inline const QString ConfigFileKey = QStringLiteral("Config File");

inline const QString Config = QStringLiteral("Config");
inline const QString Debug = QStringLiteral("Debug");
inline const QString Time = QStringLiteral("Time");
inline const QString TimeServer = QStringLiteral("TimeServer");
inline const QString Download = QStringLiteral("Download");
inline const QString ParameterSelection = QStringLiteral("Parameter Selection");
inline const QString Satellites = QStringLiteral("Satellites");
inline const QString Markerfiles = QStringLiteral("Markerfiles");
inline const QString NewParameter = QStringLiteral("New Parameter");
inline const QString Window = QStringLiteral("Window");
// Written by the download records, never by the settings writer.
inline const QString DownloadedFiles = QStringLiteral("Downloaded Files");

} // namespace gw::settingsfile
