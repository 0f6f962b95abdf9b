#pragma once
// The main window, as a view: every setting as a control, the tray and list menus, the
// status bar, the two timers, and the window's own behaviour (placement, minimise to the
// tray, restore, Escape, the grid's columns, the list menus, the projection preview). What a
// control starts is connected by the composition root, `gw::AppCore`.
#include "app/ErrorReport.h"
#include "app/WindowPlacement.h"
#include "shared/ui/QtDialogs.h"

#include <QMainWindow>

#include <memory>
#include <optional>

class QLabel;
class QListWidget;
class QMenu;
class QMouseEvent;
class QProgressBar;
class QTimer;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    struct ViewOptions
    {
        gw::Dialogs* dialogs = nullptr; // default: real dialogs over this window
        bool showTray = true;
        std::optional<bool> trayAvailable; // default: ask the desktop at each minimise
    };

    MainWindow();
    explicit MainWindow(ViewOptions options);
    ~MainWindow() override;

    Ui::MainWindow* ui() { return m_ui.get(); }
    gw::Dialogs& dialogs() { return *m_dialogs; }
    // The general error handler around every handler the window runs.
    gw::ErrorReport& errorReport() { return m_errors; }

    QTimer* CentralTimer() const { return m_centralTimer; }
    QTimer* Timer2() const { return m_timer2; }
    QMenu* PopupMenu1() const { return m_popupMenu1; }
    QMenu* pmMarker() const { return m_pmMarker; }
    QMenu* pmSatellite() const { return m_pmSatellite; }
    QMenu* pmTimeServer() const { return m_pmTimeServer; }
    QProgressBar* ProgressBar() const { return m_progressBar; }
    QLabel* statusPanel() const { return m_statusPanel1; }
    // Panel 1 of the status bar: the last log line, or a download's progress.
    void setStatusText(const QString& text);
    QString statusText() const;
    int MinWindowWidth() const { return m_minWindowWidth; }
    int MinWindowHeight() const { return m_minWindowHeight; }

    // Creation's view steps: the window takes the size its contents need at the font in use
    // (within the screen), which becomes the smallest it may take; both page controls open on
    // their first page; the window waits below the desktop until placed.
    void fitContents();
    void fixMinimumSize();
    void openFirstPages();
    void park();
    // The download grid: rows as high as their text, and at least this many in view; the
    // download log at least this many lines high.
    static constexpr int VisibleGridRows = 4;
    static constexpr int VisibleLogLines = 4;
    void prepareDownloadGrid();
    // The projection's picture, decoded when the preview is first seen: a start that stays in
    // the tray decodes none.
    void showProjection(int entry);

    // Placement, minimise and restore.
    void centreOnDesktop(bool clampToZero);
    // The start-up step's placement: the saved place and size when their screen still exists,
    // else centred at the size of creation.
    void placeAtStart(const gw::SavedPlacement& saved);
    // Where the window stands now; nothing while it has never been placed on the desktop.
    std::optional<gw::SavedPlacement> placement() const;
    // Whether the desktop has a notification area to keep the program in.
    bool trayAvailable() const;
    // Nothing on this desktop to minimise into: the window is hidden, and the first time the
    // user is told how to get it back.
    void hideWithoutTray();
    void btnMinimizeClick();
    void Minimieren();
    void RestoreWindow();
    void pmRestoreWindowClick();
    bool inTray() const; // minimised to the notification area
    bool isParked() const;
    void FormResize();
    void btnCloseClick();

signals:
    // Hidden where no notification area shows the program's icon.
    void hiddenWithoutTray();

protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void formLoad();
    void addKeys();
    void buildMenus();
    void buildStatusBar();
    QRect desktop() const;
    void hideCaptionControls();
    void showProjectionPicture();
    // A mouse press on the marker or satellite list; true when the press is used up here.
    bool listMouseDown(QListWidget* list, QMenu* menu, QMouseEvent* event);
    template <class F> void run(F&& f) { m_errors.guard(std::forward<F>(f)); }

    std::unique_ptr<Ui::MainWindow> m_ui;
    ViewOptions m_options;
    gw::QtDialogs m_qtDialogs;
    gw::Dialogs* m_dialogs;
    gw::ErrorReport m_errors;
    QTimer* m_centralTimer = nullptr;
    QTimer* m_timer2 = nullptr;
    QMenu* m_popupMenu1 = nullptr;
    QMenu* m_pmMarker = nullptr;
    QMenu* m_pmSatellite = nullptr;
    QMenu* m_pmTimeServer = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_statusPanel1 = nullptr;
    int m_projectionToShow = -1; // the entry whose picture waits for the preview to be seen

    int m_minWindowWidth = 0;
    int m_minWindowHeight = 0;
    bool m_parked = false;
    bool m_placed = false; // shown on the desktop at least once
    bool m_inTray = false;
};
