#include "app/TFormCheckForUpdate.h"

TFormCheckForUpdate::TFormCheckForUpdate(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TFormCheckForUpdate"));
    setWindowTitle(QStringLiteral("Checking for Update..."));
    setModal(true);
    resize(300, 200);
}
