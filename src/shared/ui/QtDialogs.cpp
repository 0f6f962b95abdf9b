#include "shared/ui/QtDialogs.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace gw {

namespace {
    QMessageBox::Icon iconFor(MessageKind kind)
    {
        switch (kind) {
        case MessageKind::Warning:
            return QMessageBox::Warning;
        case MessageKind::Information:
            return QMessageBox::Information;
        case MessageKind::Confirmation:
            return QMessageBox::Question;
        case MessageKind::Error:
            return QMessageBox::Critical;
        }
        return QMessageBox::NoIcon;
    }
} // namespace

void QtDialogs::message(MessageKind kind, const QString& text)
{
    QMessageBox box(iconFor(kind), QStringLiteral("Globewall"), text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool QtDialogs::askYesNo(MessageKind kind, const QString& text)
{
    QMessageBox box(iconFor(kind), QStringLiteral("Globewall"), text, QMessageBox::Yes | QMessageBox::No, m_parent);
    return box.exec() == QMessageBox::Yes;
}

bool QtDialogs::askOkCancel(MessageKind kind, const QString& text)
{
    QMessageBox box(iconFor(kind), QStringLiteral("Globewall"), text, QMessageBox::Ok | QMessageBox::Cancel, m_parent);
    return box.exec() == QMessageBox::Ok;
}

ChoiceAnswer QtDialogs::askChoice(const ChoiceRequest& request)
{
    QMessageBox box(iconFor(request.kind), QStringLiteral("Globewall"), request.text, QMessageBox::NoButton, m_parent);
    QPushButton* first = box.addButton(request.first, QMessageBox::AcceptRole);
    QPushButton* second = box.addButton(request.second, QMessageBox::DestructiveRole);
    box.setDefaultButton(first);
    // Escape takes the default answer, as it does in every other box: the first button.
    box.setEscapeButton(first);
    auto* check = new QCheckBox(request.checkBox, &box);
    if (!request.checkBox.isEmpty())
        box.setCheckBox(check);
    box.exec();
    ChoiceAnswer answer;
    if (box.clickedButton() == first)
        answer.button = ChoiceAnswer::Button::First;
    else if (box.clickedButton() == second)
        answer.button = ChoiceAnswer::Button::Second;
    answer.checked = check->isChecked();
    return answer;
}

QString QtDialogs::toQtFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString& desc = parts[i];
        out << (desc.contains(QLatin1Char('(')) ? desc.left(desc.indexOf(QLatin1Char('('))).trimmed() : desc)
                + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

static QString runFileDialog(QWidget* parent, const FileDialogRequest& r, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, r.title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    const QStringList filters = QtDialogs::toQtFilter(r.filter).split(QStringLiteral(";;"));
    dialog.setNameFilters(filters);
    if (r.selectedFilter > 0 && r.selectedFilter < filters.size())
        dialog.selectNameFilter(filters[r.selectedFilter]);
    dialog.setDefaultSuffix(r.defaultExtension);
    if (!r.startFolder.isEmpty())
        dialog.setDirectory(r.startFolder);
    if (!r.proposedFile.isEmpty())
        dialog.selectFile(r.proposedFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString QtDialogs::getOpenFile(const FileDialogRequest& request)
{
    return runFileDialog(m_parent, request, QFileDialog::AcceptOpen);
}

QString QtDialogs::getSaveFile(const FileDialogRequest& request)
{
    return runFileDialog(m_parent, request, QFileDialog::AcceptSave);
}

std::optional<QColor> QtDialogs::chooseColor(const QColor& initial)
{
    const QColor c = QColorDialog::getColor(initial, m_parent);
    if (!c.isValid())
        return std::nullopt;
    return c;
}

} // namespace gw
