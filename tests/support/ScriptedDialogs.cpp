#include "ScriptedDialogs.h"

#include <stdexcept>

namespace gw {

void ScriptedDialogs::message(MessageKind kind, const QString& text)
{
    asked.push_back({ QStringLiteral("message"), kind, text, {} });
}

bool ScriptedDialogs::askYesNo(MessageKind kind, const QString& text)
{
    asked.push_back({ QStringLiteral("yesno"), kind, text, {} });
    if (m_yesNo.empty())
        throw std::logic_error("unexpected question: " + text.toStdString());
    const bool a = m_yesNo.front();
    m_yesNo.pop_front();
    return a;
}

bool ScriptedDialogs::askOkCancel(MessageKind kind, const QString& text)
{
    asked.push_back({ QStringLiteral("okcancel"), kind, text, {} });
    if (m_yesNo.empty())
        throw std::logic_error("unexpected question: " + text.toStdString());
    const bool a = m_yesNo.front();
    m_yesNo.pop_front();
    return a;
}

ChoiceAnswer ScriptedDialogs::askChoice(const ChoiceRequest& request)
{
    asked.push_back({ QStringLiteral("choice"), request.kind, request.text, {} });
    if (m_choices.empty())
        throw std::logic_error("unexpected question: " + request.text.toStdString());
    const ChoiceAnswer a = m_choices.front();
    m_choices.pop_front();
    return a;
}

QString ScriptedDialogs::getOpenFile(const FileDialogRequest& request)
{
    asked.push_back({ QStringLiteral("open"), MessageKind::Information, request.title, request });
    if (m_files.empty())
        throw std::logic_error("unexpected open dialog: " + request.title.toStdString());
    const QString f = m_files.front();
    m_files.pop_front();
    return f;
}

QString ScriptedDialogs::getSaveFile(const FileDialogRequest& request)
{
    asked.push_back({ QStringLiteral("save"), MessageKind::Information, request.title, request });
    if (m_files.empty())
        throw std::logic_error("unexpected save dialog: " + request.title.toStdString());
    const QString f = m_files.front();
    m_files.pop_front();
    return f;
}

std::optional<QColor> ScriptedDialogs::chooseColor(const QColor&)
{
    asked.push_back({ QStringLiteral("color"), MessageKind::Information, {}, {} });
    if (m_colors.empty())
        throw std::logic_error("unexpected colour dialog");
    const auto c = m_colors.front();
    m_colors.pop_front();
    return c;
}

QStringList ScriptedDialogs::messages() const
{
    QStringList out;
    for (const Asked& a : asked)
        if (a.what == QLatin1String("message") || a.what == QLatin1String("yesno")
            || a.what == QLatin1String("okcancel") || a.what == QLatin1String("choice"))
            out << a.text;
    return out;
}

} // namespace gw
