#pragma once
#include "shared/Dialogs.h"

class QWidget;

namespace gw {

// Real dialogs on the screen.
class QtDialogs : public Dialogs
{
public:
    explicit QtDialogs(QWidget* parent = nullptr)
        : m_parent(parent)
    {
    }
    void setParent(QWidget* parent) { m_parent = parent; }
    void message(MessageKind kind, const QString& text) override;
    bool askYesNo(MessageKind kind, const QString& text) override;
    bool askOkCancel(MessageKind kind, const QString& text) override;
    ChoiceAnswer askChoice(const ChoiceRequest& request) override;
    QString getOpenFile(const FileDialogRequest& request) override;
    QString getSaveFile(const FileDialogRequest& request) override;
    std::optional<QColor> chooseColor(const QColor& initial) override;

    // "desc|pattern|..." to the "desc (pattern);;..." form of Qt's file dialogs.
    static QString toQtFilter(const QString& filter);

private:
    QWidget* m_parent;
};

} // namespace gw
