#pragma once
// What the program's web server announces about its newest release ("updates.ini"), how
// that release is judged against the running one, and the file name offered for saving it.
#include <QString>

namespace gw {

struct UpdateInfo
{
    QString Version;
    QString Beta;
    QString URL1; // the release file itself
    QString URL2; // fetched and thrown away (visit counters on the server)
    QString URL3;
    QString Description;
    QString Date;
    // Key "SHA256": the release's SHA-256 in hex. When given, a release that does not match
    // it never reaches the chosen file.
    QString SHA256;

    // Why the description cannot be read (no version number in it, e.g. a web page); empty
    // when it can. Nothing of such a file is to be trusted.
    QString problem;

    // Section "Globewall" of the file; section and key names match without regard to case,
    // and anything missing (or a missing file) reads as the empty text.
    static UpdateInfo read(const QString& path);
    static UpdateInfo fromBytes(const QByteArray& bytes);
};

// True when the announced release is newer than the running one. Versions compare as plain
// text by character codes, so "1.1.3.7" is newer than "1.1.3.68"; equal versions are newer
// only when the announced beta tag is greater than the local one.
bool isNewerRelease(
    const QString& remoteVersion, const QString& remoteBeta, const QString& ownVersion, const QString& ownBeta);

// The file name offered for the release at `url`: from the first "globewall_" (from the start
// when there is none) through the last "." and up to three characters after it. Whatever
// folder part the proposal still carries is dropped, so the save dialog gets a bare name.
QString proposedFileName(const QString& url);
// The extension of a proposal without its dot, at most three characters; empty when none.
QString proposedExtension(const QString& proposal);

// True when `digest` (a SHA-256, 32 bytes) is `expectedHex`: hex digits in either case, blanks
// around allowed; anything else never matches.
bool matchesSha256(const QByteArray& digest, const QString& expectedHex);

// True for an address whose transfer is not encrypted (anything but https).
bool isPlainTransfer(const QString& url);

// "host" or "host:port" of an address, as shown to the user; the text itself when it has none.
QString hostOf(const QString& url);

} // namespace gw
