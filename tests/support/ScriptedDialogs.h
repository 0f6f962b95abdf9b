#pragma once
#include "shared/Dialogs.h"

#include <deque>
#include <vector>

namespace gw {

// Answers queued by a test; records what was asked. An unexpected question fails loudly.
class ScriptedDialogs : public Dialogs
{
public:
    struct Asked
    {
        QString what; // "message", "yesno", "okcancel", "choice", "open", "save", "color"
        MessageKind kind = MessageKind::Information;
        QString text; // message text or dialog title
        FileDialogRequest request;
    };

    // Answers Yes/No and OK/Cancel questions alike (true: Yes or OK).
    void queueYesNo(bool answer) { m_yesNo.push_back(answer); }
    void queueFile(const QString& path) { m_files.push_back(path); }
    void queueColor(std::optional<QColor> c) { m_colors.push_back(c); }
    void queueChoice(ChoiceAnswer answer) { m_choices.push_back(answer); }

    void message(MessageKind kind, const QString& text) override;
    bool askYesNo(MessageKind kind, const QString& text) override;
    bool askOkCancel(MessageKind kind, const QString& text) override;
    ChoiceAnswer askChoice(const ChoiceRequest& request) override;
    QString getOpenFile(const FileDialogRequest& request) override;
    QString getSaveFile(const FileDialogRequest& request) override;
    std::optional<QColor> chooseColor(const QColor& initial) override;

    std::vector<Asked> asked;
    QStringList messages() const;
    bool allAnswersUsed() const { return m_yesNo.empty() && m_files.empty() && m_colors.empty() && m_choices.empty(); }

private:
    std::deque<bool> m_yesNo;
    std::deque<QString> m_files;
    std::deque<std::optional<QColor>> m_colors;
    std::deque<ChoiceAnswer> m_choices;
};

} // namespace gw
