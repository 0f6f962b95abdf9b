#pragma once
// An error that ends the current operation; the application's notify handler shows its text
// in a message box and the program goes on.
#include <QString>
#include <stdexcept>

namespace gw {

class Error : public std::runtime_error
{
public:
    explicit Error(const QString& message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

} // namespace gw
