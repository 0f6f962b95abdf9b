#pragma once
// The utility component of the main window: the program's version strings, opening web
// addresses, mail and files with the desktop's default applications, fixed-width number text
// and the password scramble.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

namespace gw {

class DesktopLauncher;

class DesktopUtility : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString InfoFileName READ InfoFileName WRITE setInfoFileName)
    Q_PROPERTY(QString CompanyName READ CompanyName)
    Q_PROPERTY(QString FileDescription READ FileDescription)
    Q_PROPERTY(QString FileVersion READ FileVersion)
    Q_PROPERTY(QString InternalName READ InternalName)
    Q_PROPERTY(QString LegalCopyright READ LegalCopyright)
    Q_PROPERTY(QString OriginalFilename READ OriginalFilename)
    Q_PROPERTY(QString ProductName READ ProductName)
    Q_PROPERTY(QString ProductVersion READ ProductVersion)

public:
    // With the desktop's own launcher.
    explicit DesktopUtility(QObject* parent = nullptr);
    // With a given launcher, which must outlive the component.
    explicit DesktopUtility(DesktopLauncher& launcher, QObject* parent = nullptr);
    ~DesktopUtility() override;

    QString InfoFileName() const { return m_infoFileName; }
    void setInfoFileName(const QString& value) { m_infoFileName = value; }

    QString CompanyName() const { return m_companyName; }
    QString FileDescription() const { return m_fileDescription; }
    QString FileVersion() const { return m_fileVersion; }
    QString InternalName() const { return m_internalName; }
    QString LegalCopyright() const { return m_legalCopyright; }
    QString OriginalFilename() const { return m_originalFilename; }
    QString ProductName() const { return m_productName; }
    QString ProductVersion() const { return m_productVersion; }

    // The version label of the main window: "v" + FileVersion + " ".
    QString versionText() const;

    // Fills the version strings of InfoFileName (empty: the program itself). The strings are
    // compiled into the program, so any other file leaves them all empty.
    void ReadFileInfo();

    // Opens `url` with the default application for web pages. No such application: nothing
    // happens. One that cannot be started: throws Error("Error while launching the default browser.").
    void openUrl(const QString& url);
    // Opens a mail to `address` with the desktop's mail handler; the outcome is not examined.
    void openMail(const QString& address);
    // Opens `path` with the default application for `extension` (its first three characters,
    // in lower case). No such application: nothing happens. One that cannot be started:
    // throws Error("Error while launching the default programm.").
    void StartFileWithExtension(const QString& path, const QString& extension);

    // Opens a file or folder with the desktop's default application for its type, or, where
    // the desktop names none, hands it to the desktop (xdg-open). One that cannot be started:
    // throws Error("Error while launching the default programm.").
    void openWithDefault(const QString& path);

    static QString FormatInt(qint64 number, int width, const QString& fill);
    static QString FormatFloat(int width, int decimals, const QString& fill, double value);
    static QByteArray Crypt(const QByteArray& text);

private:
    void start(const QString& mimeType, const QString& target, const QString& failure);

    std::unique_ptr<DesktopLauncher> m_ownLauncher;
    DesktopLauncher& m_launcher;
    QString m_infoFileName;
    QString m_companyName;
    QString m_fileDescription;
    QString m_fileVersion;
    QString m_internalName;
    QString m_legalCopyright;
    QString m_originalFilename;
    QString m_productName;
    QString m_productVersion;
};

} // namespace gw
