#pragma once
// Every modal question goes through this interface, so tests queue the answers
// (ScriptedDialogs) and no test ever waits on a real dialog.
#include <QColor>
#include <QString>
#include <QStringList>
#include <deque>
#include <optional>

class QWidget;

namespace gw {

enum class MessageKind { Warning, Information, Confirmation, Error };
enum class Answer { Ok, Cancel, Yes, No };

struct FileDialogRequest
{
    QString title;
    QString proposedFile;
    QString filter;            // "description|pattern|description|pattern"
    QString defaultExtension;  // without the dot
    QString startFolder;
};

class Dialogs
{
public:
    virtual ~Dialogs() = default;
    // OK only.
    virtual void message(MessageKind kind, const QString& text) = 0;
    // Yes or No.
    virtual bool askYesNo(MessageKind kind, const QString& text) = 0;
    // The chosen full path, or empty on cancel.
    virtual QString getOpenFile(const FileDialogRequest& request) = 0;
    virtual QString getSaveFile(const FileDialogRequest& request) = 0;
    virtual std::optional<QColor> chooseColor(const QColor& initial) = 0;
};

// Real dialogs on the screen.
class QtDialogs : public Dialogs
{
public:
    explicit QtDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    void message(MessageKind kind, const QString& text) override;
    bool askYesNo(MessageKind kind, const QString& text) override;
    QString getOpenFile(const FileDialogRequest& request) override;
    QString getSaveFile(const FileDialogRequest& request) override;
    std::optional<QColor> chooseColor(const QColor& initial) override;

    // "desc|pattern|..." to the "desc (pattern);;..." form of Qt's file dialogs.
    static QString toQtFilter(const QString& filter);

private:
    QWidget* m_parent;
};

// Answers queued by a test; records what was asked. An unexpected question fails loudly.
class ScriptedDialogs : public Dialogs
{
public:
    struct Asked
    {
        QString what;  // "message", "yesno", "open", "save", "color"
        MessageKind kind = MessageKind::Information;
        QString text;  // message text or dialog title
        FileDialogRequest request;
    };

    void queueYesNo(bool answer) { m_yesNo.push_back(answer); }
    void queueFile(const QString& path) { m_files.push_back(path); }
    void queueColor(std::optional<QColor> c) { m_colors.push_back(c); }

    void message(MessageKind kind, const QString& text) override;
    bool askYesNo(MessageKind kind, const QString& text) override;
    QString getOpenFile(const FileDialogRequest& request) override;
    QString getSaveFile(const FileDialogRequest& request) override;
    std::optional<QColor> chooseColor(const QColor& initial) override;

    std::vector<Asked> asked;
    QStringList messages() const;
    bool allAnswersUsed() const { return m_yesNo.empty() && m_files.empty() && m_colors.empty(); }

private:
    std::deque<bool> m_yesNo;
    std::deque<QString> m_files;
    std::deque<std::optional<QColor>> m_colors;
};

} // namespace gw
