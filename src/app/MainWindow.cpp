#include "app/MainWindow.h"

#include "app/AppIcon.h"
#include "app/KeyFilters.h"
#include "app/PageScrolling.h"
#include "app/SpinEdit.h"
#include "app/WidgetSettings.h"
#include "app/WindowPlacement.h"
#include "renderer/MarkerSatelliteFiles.h"
#include "renderer/RendererLayout.h"
#include "renderer/ui/ProjectionPictures.h"
#include "settings/Defaults.h"
#include "settings/SettingsTable.h"
#include "shared/Endpoints.h"

#include "ui_MainWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTimer>
#include <QtMath>

MainWindow::MainWindow()
    : MainWindow(ViewOptions())
{
}

MainWindow::MainWindow(ViewOptions options)
    : QMainWindow(nullptr)
    , m_ui(std::make_unique<Ui::MainWindow>())
    , m_options(options)
    , m_qtDialogs(this)
    , m_dialogs(m_options.dialogs ? m_options.dialogs : &m_qtDialogs)
    , m_errors(m_dialogs)
{
    m_ui->setupUi(this);
    // At a large scale or on a small screen a page may not fit: it scrolls rather than crush.
    gw::putPagesInScrollAreas(m_ui->PageControl);
    gw::putPagesInScrollAreas(m_ui->PageControlParameter);
    gw::openAtNewestLine(m_ui->mTransfer);
    gw::openAtNewestLine(m_ui->mTimeLog);
    formLoad();
    hideCaptionControls();

    m_centralTimer = new QTimer(this);
    m_centralTimer->setObjectName(QStringLiteral("CentralTimer"));
    m_centralTimer->setInterval(5000);
    m_timer2 = new QTimer(this);
    m_timer2->setObjectName(QStringLiteral("Timer2"));
    m_timer2->setInterval(200);
    m_timer2->setSingleShot(true);

    buildMenus();
    buildStatusBar();

    auto on = [this](auto* sender, auto signal, void (MainWindow::*handler)()) {
        connect(sender, signal, this, [this, handler] { run([this, handler] { (this->*handler)(); }); });
    };
    on(m_ui->btnMinimize, &QPushButton::clicked, &MainWindow::btnMinimizeClick);
    on(m_ui->btnClose, &QPushButton::clicked, &MainWindow::btnCloseClick);
    on(m_ui->pmClose, &QAction::triggered, &MainWindow::btnCloseClick);
    on(m_ui->pmRestoreWindow, &QAction::triggered, &MainWindow::pmRestoreWindowClick);
    addKeys();
    // The field's hint always mirrors its text, also when code sets it.
    connect(m_ui->edtParameter, &QLineEdit::textChanged, m_ui->edtParameter, &QWidget::setToolTip);
    m_ui->imgProjection->installEventFilter(this);
    m_ui->mMarkerfiles->viewport()->installEventFilter(this);
    m_ui->mSatfiles->viewport()->installEventFilter(this);
    m_ui->SpinEdit->installEventFilter(new gw::SpinEditKeyUp(m_ui->SpinEdit));
}

MainWindow::~MainWindow() = default;

// The state the designer cannot express: item lists from the one table of bodies and
// projections, the spin edits' ranges from the control table, the grid's shape.
void MainWindow::formLoad()
{
    // The program's own icon is drawn once, by the application at start; a window made without
    // it (tests) draws its own.
    const QIcon icon = QGuiApplication::windowIcon().isNull() ? gw::globewallIcon() : QGuiApplication::windowIcon();
    setWindowIcon(icon);
    m_ui->ddbBodyTarget->addItems(gw::bodyList());
    m_ui->cbProjektion->addItems(gw::projectionList());
    gw::WidgetSettings::setComboText(m_ui->ddbBodyTarget, QStringLiteral("earth"));
    gw::WidgetSettings::setComboText(m_ui->cbProjektion, QStringLiteral("orthographic"));

    for (gw::SpinEdit* spin : findChildren<gw::SpinEdit*>())
        if (const gw::SettingRow* row = gw::findSetting(spin->objectName()))
            spin->setBounds(row->minValue, row->maxValue);

    auto* server = new QListWidgetItem(gw::defaults::TimeServer, m_ui->cbTimeServer);
    server->setFlags(server->flags() | Qt::ItemIsUserCheckable);
    server->setCheckState(Qt::Unchecked);

    QTableWidget* grid = m_ui->sgDownloadFiles;
    grid->setColumnCount(gw::GridColumns);
    grid->setRowCount(gw::GridRows - 1);
    for (int c = 0; c < gw::GridColumns; ++c)
        grid->setHorizontalHeaderItem(c, new QTableWidgetItem(QString()));
    grid->verticalHeader()->hide();
    grid->installEventFilter(this);

    m_ui->mTime->installEventFilter(new gw::KeyPressFilter(gw::mTimeKeyPress, m_ui->mTime));
    m_ui->edtProxyPort->installEventFilter(new gw::KeyPressFilter(gw::edtProxyPortKeyPress, m_ui->edtProxyPort));

    // The addresses live in one place; the labels show them as they are.
    m_ui->lbWWW->setText(gw::endpoints::programHome());
    m_ui->lbEMail->setText(gw::endpoints::programEmail());
    m_ui->lbXplanetHome->setText(gw::endpoints::rendererHome());
    m_ui->btnCheckForUpdate->setToolTip(QStringLiteral("visit \"") + gw::endpoints::programHome() + QLatin1Char('"'));

    m_ui->imgDesktopIcon->setPixmap(icon.pixmap(24, 24));
    QPalette black = m_ui->pnIconPreview->palette();
    black.setColor(QPalette::Window, Qt::black);
    m_ui->pnIconPreview->setPalette(black);
}

// The keys a user tries first: Ctrl+Q ends the program as "Close" does, Ctrl+S is "Save config".
void MainWindow::addKeys()
{
    // Named outright: a platform theme with another keyboard scheme binds no key to "Quit".
    auto key = [this](const char* name, QKeySequence keys, QAbstractButton* button) {
        auto* action = new QAction(this);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        connect(action, &QAction::triggered, button, &QAbstractButton::click);
    };
    key("acQuit", QKeySequence(Qt::CTRL | Qt::Key_Q), m_ui->btnClose);
    key("acSaveConfig", QKeySequence(Qt::CTRL | Qt::Key_S), m_ui->btnIniSave);
}

// Linux desktops draw their icon captions themselves: the caption controls have nothing to act
// on here and are not shown. They keep their settings, so a settings file moved between
// systems loses nothing.
void MainWindow::hideCaptionControls()
{
    for (QWidget* control :
        { static_cast<QWidget*>(m_ui->gbIconText), static_cast<QWidget*>(m_ui->btnMakeBGTransparent),
            static_cast<QWidget*>(m_ui->cbMakeTransAtStart), static_cast<QWidget*>(m_ui->cbRestoreTrans) })
        control->setVisible(false);
    m_ui->pmMakeDesktopIconBackgroundtransparent->setVisible(false);
}

void MainWindow::buildMenus()
{
    auto separator = [](QMenu* menu, const char* name) {
        QAction* a = menu->addSeparator();
        a->setObjectName(QString::fromLatin1(name));
    };
    m_popupMenu1 = new QMenu(this);
    m_popupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    m_popupMenu1->addAction(m_ui->pmRestoreWindow);
    // Shown once a render has left a picture in a file.
    m_popupMenu1->addAction(m_ui->pmOpenPicture);
    m_popupMenu1->addAction(m_ui->pmOpenPictureFolder);
    m_ui->pmOpenPicture->setVisible(false);
    m_ui->pmOpenPictureFolder->setVisible(false);
    separator(m_popupMenu1, "N4");
    m_popupMenu1->addAction(m_ui->pmStartNow);
    m_popupMenu1->addAction(m_ui->pmDownloadfromHTTPnow);
    separator(m_popupMenu1, "N5");
    m_popupMenu1->addAction(m_ui->pmKillNow);
    separator(m_popupMenu1, "N2");
    m_popupMenu1->actions().constLast()->setVisible(false); // with the hidden item below it
    m_popupMenu1->addAction(m_ui->pmMakeDesktopIconBackgroundtransparent);
    separator(m_popupMenu1, "N3");
    m_popupMenu1->addAction(m_ui->Globewallenabled);
    separator(m_popupMenu1, "N1");
    m_popupMenu1->addAction(m_ui->pmClose);

    m_pmMarker = new QMenu(this);
    m_pmMarker->setObjectName(QStringLiteral("pmMarker"));
    m_pmMarker->addActions({ m_ui->Openineditor1, m_ui->Deletefromlist1 });
    m_pmSatellite = new QMenu(this);
    m_pmSatellite->setObjectName(QStringLiteral("pmSatellite"));
    m_pmSatellite->addActions({ m_ui->Openineditor2, m_ui->Deletefromlist2 });
    m_pmTimeServer = new QMenu(this);
    m_pmTimeServer->setObjectName(QStringLiteral("pmTimeServer"));
    m_pmTimeServer->addActions({ m_ui->Edit1, m_ui->Copy2, m_ui->Delete1 });
}

// Panel 0, 120 pixels, holds the download progress bar; panel 1 the last log line.
void MainWindow::buildStatusBar()
{
    auto* panel0 = new QWidget(m_ui->StatusBar1);
    panel0->setObjectName(QStringLiteral("StatusPanel0"));
    panel0->setFixedWidth(120);
    auto* layout = new QHBoxLayout(panel0);
    layout->setContentsMargins(1, 2, 1, 1);
    m_progressBar = new QProgressBar(panel0);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar"));
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
    m_progressBar->setMaximumHeight(14);
    layout->addWidget(m_progressBar);
    m_statusPanel1 = new QLabel(m_ui->StatusBar1);
    m_statusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    m_ui->StatusBar1->addWidget(panel0);
    m_ui->StatusBar1->addWidget(m_statusPanel1, 1);
}

// Only a change reaches the label: the idle status is set at every tick of the central timer,
// and each setting would lay out and repaint the status bar.
void MainWindow::setStatusText(const QString& text)
{
    if (text != m_statusPanel1->text())
        m_statusPanel1->setText(text);
}

QString MainWindow::statusText() const
{
    return m_statusPanel1->text();
}

// The layouts measure a field by a fixed number of characters and a tab bar with scroll arrows
// by a fraction of its tabs. Each field that holds text, each tab bar and the download grid ask
// for the width their text needs; the window takes the size its layout then wants, within the
// screen.
void MainWindow::fitContents()
{
    struct Held
    {
        QWidget* widget;
        QSize minimum;
    };
    std::vector<Held> held;
    auto needs = [&held](QWidget* w, int width) {
        if (width <= w->minimumWidth())
            return;
        held.push_back({ w, w->minimumSize() });
        w->setMinimumWidth(width);
    };
    for (QLineEdit* field : findChildren<QLineEdit*>()) {
        if (field->text().isEmpty() || !field->parentWidget() || field->parentWidget()->inherits("QAbstractSpinBox")
            || field->parentWidget()->inherits("QComboBox"))
            continue;
        const QFontMetrics fm = field->fontMetrics();
        const int padding = field->sizeHint().width() - 17 * fm.horizontalAdvance(QLatin1Char('x'));
        needs(field, fm.horizontalAdvance(field->text()) + padding + 2);
    }
    for (QTabWidget* pages : findChildren<QTabWidget*>())
        needs(pages, pages->tabBar()->sizeHint().width() + 8);
    QTableWidget* grid = m_ui->sgDownloadFiles;
    int column = 0;
    for (int row = 0; row < grid->rowCount(); ++row)
        for (int c = 0; c < grid->columnCount(); ++c)
            if (const QTableWidgetItem* item = grid->item(row, c))
                column = qMax(column, grid->fontMetrics().horizontalAdvance(item->text()) + 12);
    for (int c = 0; c < grid->columnCount(); ++c)
        if (const QTableWidgetItem* header = grid->horizontalHeaderItem(c))
            column = qMax(column, grid->fontMetrics().horizontalAdvance(header->text()) + 24);
    needs(grid, 2 * column + 24);

    // Every cached hint goes, hidden pages included, so the layout measures again.
    for (QWidget* w : findChildren<QWidget*>())
        w->updateGeometry();
    for (QLayout* l : findChildren<QLayout*>())
        l->invalidate();
    // As wide as the texts need; as high as the pages need, the lists and logs at their least
    // (each page's scroll area asks for that much).
    const QSize wanted = sizeHint().expandedTo(size());
    const QScreen* screen = QGuiApplication::primaryScreen();
    // The window frame takes a little of the screen too.
    const QSize room = screen ? screen->availableGeometry().size() - QSize(16, 48) : QSize();
    // The widths asked for stay where the screen has room for them, so the layout cannot hand
    // a field's share to its neighbours; on a smaller screen the layout shares what there is.
    if (!room.isEmpty() && wanted.width() > room.width())
        for (auto it = held.rbegin(); it != held.rend(); ++it)
            it->widget->setMinimumSize(it->minimum);
    resize(gw::sizeWithin(wanted, room));
}

void MainWindow::fixMinimumSize()
{
    m_minWindowWidth = width();
    m_minWindowHeight = height();
    setMinimumSize(m_minWindowWidth, m_minWindowHeight);
}

void MainWindow::openFirstPages()
{
    m_ui->PageControl->setCurrentIndex(0);
    m_ui->PageControlParameter->setCurrentIndex(0);
}

void MainWindow::park()
{
    move(x(), gw::ParkedTop);
    m_parked = true;
}

void MainWindow::prepareDownloadGrid()
{
    QTableWidget* grid = m_ui->sgDownloadFiles;
    const int rowHeight = grid->fontMetrics().height() + 4;
    grid->verticalHeader()->setMinimumSectionSize(rowHeight);
    grid->verticalHeader()->setDefaultSectionSize(rowHeight);
    // Four whole rows at least, and a few lines of the log below it: the page scrolls before
    // either is squeezed to a sliver.
    grid->setMinimumHeight(grid->horizontalHeader()->sizeHint().height() + VisibleGridRows * rowHeight
        + 2 * grid->frameWidth() + grid->horizontalScrollBar()->sizeHint().height());
    QPlainTextEdit* log = m_ui->mTransfer;
    log->setMinimumHeight(VisibleLogLines * log->fontMetrics().lineSpacing()
        + 2 * (log->frameWidth() + qCeil(log->document()->documentMargin())) + 4);
}

void MainWindow::showProjection(int entry)
{
    m_projectionToShow = entry;
    if (m_ui->imgProjection->isVisible())
        showProjectionPicture();
}

void MainWindow::showProjectionPicture()
{
    if (m_projectionToShow < 0)
        return;
    m_ui->imgProjection->setPixmap(gw::projectionPicture(m_projectionToShow));
    m_projectionToShow = -1;
}

// ---------------------------------------------------------------------------------------
// Placement, minimise and restore.
QRect MainWindow::desktop() const
{
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry() : QRect(0, 0, 0, 0);
}

void MainWindow::centreOnDesktop(bool clampToZero)
{
    const QRect d = desktop();
    move(d.topLeft() + gw::centredPosition(d.size(), frameGeometry().size(), clampToZero));
    m_parked = false;
    m_placed = true;
}

void MainWindow::placeAtStart(const gw::SavedPlacement& saved)
{
    QVector<gw::ScreenArea> screens;
    for (const QScreen* s : QGuiApplication::screens())
        screens.push_back({ s->name(), s->availableGeometry() });
    const std::optional<QRect> restored = gw::restoredGeometry(saved, screens, minimumSize());
    if (!restored) {
        centreOnDesktop(true);
        return;
    }
    // The contents' rectangle, as saved: a move() names the frame's corner, which the window
    // system may not have measured yet and then takes for the contents', so each start would
    // open the window higher and further left by its frame.
    setGeometry(*restored);
    m_parked = false;
    m_placed = true;
}

std::optional<gw::SavedPlacement> MainWindow::placement() const
{
    if (!m_placed || isParked())
        return std::nullopt;
    const QScreen* s = screen();
    return gw::SavedPlacement { s ? s->name() : QString(), geometry().topLeft(), size() };
}

bool MainWindow::isParked() const
{
    const QRect d = desktop();
    return m_parked || frameGeometry().top() > d.y() + d.height();
}

bool MainWindow::trayAvailable() const
{
    return m_options.trayAvailable ? *m_options.trayAvailable
                                   : (m_options.showTray && QSystemTrayIcon::isSystemTrayAvailable());
}

bool MainWindow::inTray() const
{
    return m_inTray || isHidden() || isMinimized();
}

void MainWindow::btnMinimizeClick()
{
    Minimieren();
}

// Minimised, the program lives in the notification area only.
void MainWindow::Minimieren()
{
    m_inTray = true;
    if (trayAvailable())
        hide();
    else
        hideWithoutTray();
}

// Some desktops have neither a notification area nor a minimised state (sway, Hyprland without
// a bar): the window is hidden there too. How it comes back is said by the composition root, in
// words that never wait for a click: a box here held up the first globe of a start from autostart.
void MainWindow::hideWithoutTray()
{
    m_inTray = true;
    hide();
    emit hiddenWithoutTray();
}

void MainWindow::RestoreWindow()
{
    m_inTray = false;
    m_placed = m_placed || !m_parked;
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

// Shown first (a parked window is below the desktop, so nothing flashes), then centred with
// its frame known.
void MainWindow::pmRestoreWindowClick()
{
    const bool parked = isParked();
    RestoreWindow();
    if (parked)
        centreOnDesktop(false);
}

// Escape minimises, as the "Minimize" button does, unless the focused control used the key.
void MainWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        run([this] { btnMinimizeClick(); });
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // The window's own minimise box goes to the tray too, after the state change has settled.
    // Without a notification area the desktop keeps the minimised window itself.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && !m_inTray && trayAvailable())
        QTimer::singleShot(0, this, [this] {
            if (isMinimized() && !m_inTray)
                run([this] { Minimieren(); });
        });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->sgDownloadFiles && event->type() == QEvent::Resize)
        FormResize();
    if (watched == m_ui->imgProjection && event->type() == QEvent::Show)
        showProjectionPicture();
    if (event->type() == QEvent::MouseButtonPress) {
        auto* press = static_cast<QMouseEvent*>(event);
        bool used = false;
        if (watched == m_ui->mMarkerfiles->viewport())
            run([&] { used = listMouseDown(m_ui->mMarkerfiles, m_pmMarker, press); });
        else if (watched == m_ui->mSatfiles->viewport())
            run([&] { used = listMouseDown(m_ui->mSatfiles, m_pmSatellite, press); });
        if (used)
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::FormResize()
{
    QTableWidget* grid = m_ui->sgDownloadFiles;
    const int w = qMax(0, (grid->width() - 24) / 2);
    grid->horizontalHeader()->setDefaultSectionSize(w);
    for (int c = 0; c < grid->columnCount(); ++c)
        grid->setColumnWidth(c, w);
}

// mMarkerfilesMouseDown and mSatfilesMouseDown. A right press is used up here, so the list's
// own selection handling does not undo the selection made for the menu.
bool MainWindow::listMouseDown(QListWidget* list, QMenu* menu, QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const QListWidgetItem* item = list->itemAt(pos);
    const bool right = event->button() == Qt::RightButton;
    const auto result = gw::MarkerSatelliteFiles::listMouseDown(right, item ? list->row(item) : -1);
    if (result.clearSelection)
        list->clearSelection();
    if (result.selectRow >= 0 && result.selectRow < list->count()) {
        list->item(result.selectRow)->setSelected(true);
        list->setCurrentRow(result.selectRow, QItemSelectionModel::NoUpdate);
    }
    if (result.openMenu)
        menu->popup(list->viewport()->mapToGlobal(pos));
    return right;
}

// ---------------------------------------------------------------------------------------
void MainWindow::btnCloseClick()
{
    close();
}
