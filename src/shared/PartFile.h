#pragma once
// The file a download is written into before it replaces its destination: a new file with a
// name of its own beside the destination ("<name>.<random>.part"), created exclusively and
// never through a link, so nothing planted under a name Globewall would use is written
// through. Removed when it goes out of scope unless it has been moved into place.
#include <QFile>
#include <QString>

namespace gw {

class PartFile
{
public:
    explicit PartFile(const QString& destination);
    ~PartFile();
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    bool isOpen() const { return m_file.isOpen(); }
    QFile& file() { return m_file; }
    QString path() const { return m_path; }

    // Closes the file and renames it over the destination in one step; false when it cannot.
    bool replaceDestination();

    // Removes what a killed run left for `destination`: its own ".part" names and the single
    // "<destination>.part" of earlier versions. Links go, never what they point to.
    static void removeLeftovers(const QString& destination);
    // True for a name this class gives the files of `destinationName`.
    static bool isPartNameOf(const QString& fileName, const QString& destinationName);

private:
    QString m_destination;
    QString m_path;
    QFile m_file;
    bool m_placed = false;
};

} // namespace gw
