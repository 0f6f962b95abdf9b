#pragma once
// The update dialog, created once at start and shown again for each check. Its content
// arrives with the update check; for now it is the empty modal window.
#include <QDialog>

class TFormCheckForUpdate : public QDialog
{
    Q_OBJECT

public:
    explicit TFormCheckForUpdate(QWidget* parent = nullptr);
};
