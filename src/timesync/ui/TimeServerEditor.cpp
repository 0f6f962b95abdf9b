#include "timesync/ui/TimeServerEditor.h"

#include "shared/Error.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>

namespace gw {

TimeServerEditor::TimeServerEditor(
    const TimeServerWidgets& widgets, std::function<void(const QString&)> browserStart, QObject* parent)
    : QObject(parent)
    , m_w(widgets)
    , m_browserStart(std::move(browserStart))
{
    if (!m_w.cbTimeServer || !m_w.edtTimeServer)
        throw Error(QStringLiteral("The time-server editor needs its list and its edit field"));
    if (m_w.pmTimeServer && m_w.pmTimeServer->actions().size() < 3)
        throw Error(QStringLiteral("The time-server menu needs the items Edit, Copy and Delete"));

    QListWidget* list = m_w.cbTimeServer;
    // Entries change only through this editor, never through Qt's in-place editor.
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->viewport()->installEventFilter(this);
    m_w.edtTimeServer->installEventFilter(this);
    if (m_w.PageControl)
        m_w.PageControl->installEventFilter(this);

    m_menu = m_w.pmTimeServer;
    if (!m_menu) {
        m_menu = new QMenu(list);
        m_menu->addAction(QStringLiteral("Edit"));
        m_menu->addAction(QStringLiteral("Copy"));
        m_menu->addAction(QStringLiteral("Delete"));
    }
    const QList<QAction*> actions = m_menu->actions();
    connect(actions.at(0), &QAction::triggered, this, &TimeServerEditor::Edit1Click);
    connect(actions.at(1), &QAction::triggered, this, &TimeServerEditor::Copy2Click);
    connect(actions.at(2), &QAction::triggered, this, &TimeServerEditor::Delete1Click);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint& pos) {
        // X11 asks for the menu on the button press, before any release: the menu acts on the
        // entry it was opened over, so the point is taken here as well.
        cbParameterMouseUp(pos);
        m_menu->popup(list->viewport()->mapToGlobal(pos));
    });

    if (m_w.btnAddTimeServer)
        connect(m_w.btnAddTimeServer, &QAbstractButton::clicked, this, &TimeServerEditor::btnAddTimeServerClick);
    if (m_w.btnCancelTimeServer)
        connect(m_w.btnCancelTimeServer, &QAbstractButton::clicked, this, &TimeServerEditor::btnCancelTimeServerClick);
    if (m_w.lbTimeServer) {
        m_w.lbTimeServer->setCursor(Qt::PointingHandCursor);
        // A link label of the window announces its clicks; a plain label is watched instead.
        if (m_w.lbTimeServer->metaObject()->indexOfSignal("clicked()") >= 0)
            connect(m_w.lbTimeServer, SIGNAL(clicked()), this, SLOT(lbTimeServerClick()));
        else
            m_w.lbTimeServer->installEventFilter(this);
    }
}

QString TimeServerEditor::timeServerListUrl()
{
    return QStringLiteral("https://support.ntp.org/Servers/StratumTwoTimeServers");
}

bool TimeServerEditor::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched == m_w.cbTimeServer->viewport() || (m_w.PageControl && watched == m_w.PageControl)) {
        if (type == QEvent::MouseButtonRelease)
            cbParameterMouseUp(static_cast<QMouseEvent*>(event)->position().toPoint());
        else if (type == QEvent::MouseButtonDblClick && watched == m_w.cbTimeServer->viewport()
            && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            // After the list has handled the click, so the focus ends in the edit field.
            QMetaObject::invokeMethod(this, &TimeServerEditor::Edit1Click, Qt::QueuedConnection);
    } else if (watched == m_w.edtTimeServer && type == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && isEditing()) {
        // The release cancels the edit; the press must not reach the window, whose Escape
        // would send it to the tray in the middle of the edit.
        return true;
    } else if (watched == m_w.edtTimeServer && type == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // A held key repeats its press; only the real release counts, or Enter would add twice.
        if (!key->isAutoRepeat())
            edtTimeServerKeyUp(key->key());
    } else if (m_w.lbTimeServer && watched == m_w.lbTimeServer && type == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        lbTimeServerClick();
    }
    return QObject::eventFilter(watched, event);
}

void TimeServerEditor::cbParameterMouseUp(const QPoint& point)
{
    m_lastMouseUp = point;
}

int TimeServerEditor::rowUnderPoint() const
{
    QListWidget* list = m_w.cbTimeServer;
    // A point outside the visible list names no entry, even where a scrolled-away row lies.
    if (!list->viewport()->rect().contains(m_lastMouseUp))
        return -1;
    const QModelIndex index = list->indexAt(m_lastMouseUp);
    return index.isValid() ? index.row() : -1;
}

bool TimeServerEditor::isEditing() const
{
    return m_editIndex != -1 || !m_w.edtTimeServer->text().isEmpty();
}

bool TimeServerEditor::editingValidRow() const
{
    return m_editIndex >= 0 && m_editIndex < m_w.cbTimeServer->count();
}

void TimeServerEditor::appendEntry(const QString& text, bool checked)
{
    auto* item = new QListWidgetItem(text);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    m_w.cbTimeServer->addItem(item);
}

void TimeServerEditor::Edit1Click()
{
    const int row = rowUnderPoint();
    if (row < 0)
        return;
    m_editIndex = row;
    m_editText = m_w.cbTimeServer->item(row)->text();
    m_w.edtTimeServer->setText(m_editText);
    m_w.edtTimeServer->setFocus();
}

void TimeServerEditor::Copy2Click()
{
    const int row = rowUnderPoint();
    if (row < 0)
        return;
    appendEntry(m_w.cbTimeServer->item(row)->text(), false);
}

void TimeServerEditor::Delete1Click()
{
    const int row = rowUnderPoint();
    if (row < 0)
        return;
    m_w.edtTimeServer->setText(m_w.cbTimeServer->item(row)->text());
    delete m_w.cbTimeServer->takeItem(row);
    // Keep following the entry being edited, so typing never overwrites a neighbour; when it
    // was the deleted one, its text now sits in the edit field and "Add" adds it anew.
    if (m_editIndex == row)
        m_editIndex = -1;
    else if (m_editIndex > row)
        --m_editIndex;
}

void TimeServerEditor::btnAddTimeServerClick()
{
    const QString text = m_w.edtTimeServer->text();
    if (editingValidRow()) {
        if (text.isEmpty())
            delete m_w.cbTimeServer->takeItem(m_editIndex);
        else
            m_w.cbTimeServer->item(m_editIndex)->setText(text);
    } else if (!text.isEmpty()) {
        // Add mode, or an edited entry that is gone (the list was reloaded): the typed text
        // becomes a new entry rather than being lost or written elsewhere.
        appendEntry(text, true);
    }
    m_editIndex = -1;
    m_w.edtTimeServer->clear();
}

void TimeServerEditor::btnCancelTimeServerClick()
{
    if (m_editIndex != -1) {
        if (editingValidRow())
            m_w.cbTimeServer->item(m_editIndex)->setText(m_editText);
        m_editIndex = -1;
    }
    m_w.edtTimeServer->clear();
}

void TimeServerEditor::edtTimeServerKeyUp(int key)
{
    if (editingValidRow())
        m_w.cbTimeServer->item(m_editIndex)->setText(m_w.edtTimeServer->text());
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        btnAddTimeServerClick();
    else if (key == Qt::Key_Escape)
        btnCancelTimeServerClick();
}

void TimeServerEditor::lbTimeServerClick()
{
    if (m_browserStart)
        m_browserStart(timeServerListUrl());
}

} // namespace gw
