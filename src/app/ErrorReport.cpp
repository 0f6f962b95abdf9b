#include "app/ErrorReport.h"

#include "shared/Dialogs.h"
#include "shared/Error.h"

#include <QDebug>

namespace gw {

namespace {
    bool g_unattended = false;
} // namespace

void ErrorReport::setUnattended(bool on)
{
    g_unattended = on;
}

bool ErrorReport::unattended()
{
    return g_unattended;
}

QString ErrorReport::currentExceptionText()
{
    try {
        throw;
    } catch (const Error& e) {
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

void ErrorReport::show(const QString& text)
{
    ++m_shown;
    if (m_dialogs && !g_unattended)
        m_dialogs->message(MessageKind::Error, text);
    else
        qCritical().noquote() << text;
}

void ErrorReport::showCurrent() noexcept
{
    try {
        show(currentExceptionText());
    } catch (...) {
        // Showing the message failed too (a test's scripted dialogs, out of memory):
        // the last resort is stderr, never a second throw out of a handler.
        qCritical("Globewall: an error occurred while reporting an error");
    }
}

} // namespace gw
