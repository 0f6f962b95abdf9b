#pragma once
// In-place editing of the time-server list: the edit field with "Add" and "Cancel", the
// live update while typing, and the list's context menu "Edit", "Copy", "Delete". It works on
// the window's own widgets, which it wires itself; the window only constructs it.
#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;

namespace gw {

struct TimeServerWidgets
{
    QListWidget* cbTimeServer = nullptr; // required: entries with check marks
    QLineEdit* edtTimeServer = nullptr; // required
    QAbstractButton* btnAddTimeServer = nullptr; // optional: "Add"
    QAbstractButton* btnCancelTimeServer = nullptr; // optional: "Cancel"
    QLabel* lbTimeServer = nullptr; // optional: "List of Timeserver"
    QWidget* PageControl = nullptr; // optional: its mouse releases move the point too
    QMenu* pmTimeServer = nullptr; // optional: the list's menu, actions Edit, Copy, Delete
};

class TimeServerEditor : public QObject
{
    Q_OBJECT
public:
    // `browserStart` opens an address in the default web browser. Without pmTimeServer the
    // editor makes the context menu itself.
    TimeServerEditor(
        const TimeServerWidgets& widgets, std::function<void(const QString&)> browserStart, QObject* parent = nullptr);

    // -1: the edit field adds a new entry; otherwise the row being edited.
    int TimeServerEditIndex() const { return m_editIndex; }
    QString TimeServerEditText() const { return m_editText; }
    QPoint LastMouseUpPoint() const { return m_lastMouseUp; }
    QMenu* contextMenu() const { return m_menu; }
    // Start-up: back to add mode.
    void resetEditing() { m_editIndex = -1; }

    // The public page that lists NTP servers.
    static QString timeServerListUrl();

public slots:
    void Edit1Click();
    void Copy2Click();
    void Delete1Click();
    void btnAddTimeServerClick();
    void btnCancelTimeServerClick();
    void edtTimeServerKeyUp(int key);
    void cbParameterMouseUp(const QPoint& point);
    void lbTimeServerClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int rowUnderPoint() const;
    bool editingValidRow() const;
    // An entry is being edited, or a new one typed: Escape belongs to the field then.
    bool isEditing() const;
    void appendEntry(const QString& text, bool checked);

    TimeServerWidgets m_w;
    std::function<void(const QString&)> m_browserStart;
    QMenu* m_menu = nullptr;
    int m_editIndex = -1;
    QString m_editText;
    QPoint m_lastMouseUp { -1, -1 };
};

} // namespace gw
