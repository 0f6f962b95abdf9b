#pragma once
// Every modal question goes through this interface, so tests queue the answers
// and no test ever waits on a real dialog; QtDialogs (shared/ui) shows the real ones.
#include <QColor>
#include <QString>
#include <QStringList>
#include <optional>

namespace gw {

enum class MessageKind { Warning, Information, Confirmation, Error };
enum class Answer { Ok, Cancel, Yes, No };

struct FileDialogRequest
{
    QString title;
    QString proposedFile;
    QString filter; // "description|pattern|description|pattern"
    int selectedFilter = 0; // the pair shown first, counted from 0
    QString defaultExtension; // without the dot
    QString startFolder;
};

// A question with two answers of its own and a box to tick, such as "Do not ask again".
struct ChoiceRequest
{
    MessageKind kind = MessageKind::Confirmation;
    QString text;
    QString first; // the caption of the first button, the default and Escape's
    QString second;
    QString checkBox;
};

struct ChoiceAnswer
{
    enum class Button { First, Second, None }; // None: the question was closed unanswered
    Button button = Button::None;
    bool checked = false;
};

class Dialogs
{
public:
    virtual ~Dialogs() = default;
    // OK only.
    virtual void message(MessageKind kind, const QString& text) = 0;
    // Yes or No.
    virtual bool askYesNo(MessageKind kind, const QString& text) = 0;
    // OK (true) or Cancel.
    virtual bool askOkCancel(MessageKind kind, const QString& text) = 0;
    virtual ChoiceAnswer askChoice(const ChoiceRequest& request) = 0;
    // The chosen full path, or empty on cancel.
    virtual QString getOpenFile(const FileDialogRequest& request) = 0;
    virtual QString getSaveFile(const FileDialogRequest& request) = 0;
    virtual std::optional<QColor> chooseColor(const QColor& initial) = 0;
};

} // namespace gw
