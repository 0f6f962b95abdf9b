#pragma once
// The application object: every event goes through notify(), which catches what a handler
// throws, shows its text and lets the program go on with the next event.
#include "app/ErrorReport.h"

#include <QApplication>

class GlobewallApplication : public QApplication
{
    Q_OBJECT

public:
    GlobewallApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
    gw::ErrorReport& errorReport() { return m_errors; }

    // Answers every open modal dialog with "cancel", innermost first, so that a shut-down
    // asked while one is up does not wait for the user.
    static void endModalDialogs();

private:
    gw::ErrorReport m_errors;
};
