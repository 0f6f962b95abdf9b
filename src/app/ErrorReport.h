#pragma once
// The general error handler: an error that ends an operation is shown as a message box with
// its text, and the program goes on. Used by the application's notify() and around every
// handler the window runs, so no exception unwinds through Qt's own frames.
#include <QString>
#include <exception>

namespace gw {

class Dialogs;

class ErrorReport
{
public:
    explicit ErrorReport(Dialogs* dialogs = nullptr)
        : m_dialogs(dialogs)
    {
    }
    void setDialogs(Dialogs* dialogs) { m_dialogs = dialogs; }

    // The text of the exception being handled; call inside a catch block.
    static QString currentExceptionText();

    // Shows the text (on stderr while no dialogs are set, before the window exists, and once
    // the program is ending unattended).
    void show(const QString& text);

    // The program ends on a signal or with the session: nobody is there to answer a box, so
    // every error report of the process goes to standard error from now on.
    static void setUnattended(bool on);
    static bool unattended();

    // Runs f; an exception is shown and swallowed. True when f ended normally.
    template <class F> bool guard(F&& f) noexcept
    {
        try {
            f();
            return true;
        } catch (...) {
            showCurrent();
            return false;
        }
    }

    void showCurrent() noexcept;
    int shownCount() const { return m_shown; }

private:
    Dialogs* m_dialogs;
    int m_shown = 0;
};

} // namespace gw
