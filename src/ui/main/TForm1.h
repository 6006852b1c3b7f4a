#pragma once

#include "app/ViewModels.h"
#include "core/ProgramView.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <vector>

class QMenu;
class QAction;
class QSystemTrayIcon;

namespace kvu {

class Program;
class RowControl;
class TFormIP;
class TFormSetMain;
class TFormSetVAV;
class TFormArch;
class TFormScen;
class TFormSet;
class TMode;
class TFormSolo;
class TFormProgParam;
class TMessageForm;
class TFormTest;
class TFormHelp;
class TFormHistory;
class TFormCharts;

// The main window: a header with the menu button and one row per unit. It renders what the core
// decides (Program::header and Program::rows) and hands every click to the core. Creating it runs
// the program's start-up; closing it runs the shutdown.
class TForm1 : public QWidget, public ProgramView
{
    Q_OBJECT
public:
    explicit TForm1(Program &program, QWidget *parent = nullptr);
    ~TForm1() override;

    void setMessageForm(TMessageForm *form);

    // ProgramView
    bool ShowErrorMsg(const QString &text) override;
    QSize screenSize() const override;
    void moveMainWindow(QPoint p) override;
    QPoint centreMainWindow() override;
    void layoutMainWindow() override;
    void restoreMainWindow() override;
    void showMainWindow() override;
    void hideMainWindow() override;
    void editUnitAddress(int n) override;
    void showInformation(const QString &text) override;
    void showWarning(const QString &text) override;
    std::optional<QString> askText(const QString &title, const QString &prompt,
                                   const QString &preset) override;
    void popupServiceMenu() override;
    void popupRowMenu(int n, bool archiveEnabled) override;
    void editSetPoint(int n, int type, bool withNumber) override;
    void editMode(int n) override;
    void editScenarios(int n) override;
    void editPanelClock(int n) override;
    void editVav(int n) override;
    void openArchive(int n) override;
    void showHelp() override;
    void showHistoryViewer() override;
    void showCharts(int n) override;
    void trendsRecorded(const std::vector<TrendSample> &rows) override;
    void openOptions() override;
    bool openUnitWindow(int n) override;
    void closeUnitWindow(int n) override;
    QPoint soloWindowPos(int n) const override;
    void closeMainWindow() override;
    void minimizeMainWindow() override;
    void setWaitCursor(bool wait) override;
    QPoint mainWindowPos() const override;
    void beep(Beep kind) override;
    void reportError(const QString &text) override;
    bool trayAvailable() const override;
    void setTrayIcon(TrayIcon icon) override;
    void hideToTray() override;
    void showDiagnosticWindow() override;

    // The end of the run asked from outside (a signal, the session's end): runs the shutdown once.
    // Asked again while the shutdown runs, it says so on standard error and the shutdown goes on.
    void requestShutdown();
    bool shutdownStarted() const { return shutdownStarted_; }

    static QString caption();
    static int rowTop(int r) { return 71 + (r - 1) * 63; }

    // The controls of row r (1..10), for tests and the screenshot script.
    struct Row
    {
        RowControl *Img_stat = nullptr;
        RowControl *L_num = nullptr;
        RowControl *L_name = nullptr;
        RowControl *L_v = nullptr;
        RowControl *L_t = nullptr;
        RowControl *L_h = nullptr;
        RowControl *Img_par = nullptr;
        RowControl *Img_sc = nullptr;
        RowControl *Img_ScIco = nullptr;
        RowControl *L_sc = nullptr;
        RowControl *L_info = nullptr;
        RowControl *L_ip = nullptr;
        RowControl *L_pass = nullptr;
        RowControl *Img_s = nullptr;
        RowControl *Img_up = nullptr;
        RowControl *Img_dn = nullptr;
        RowControl *Img_show = nullptr;
    };
    const Row &row(int r) const { return rows_[std::size_t(r)]; }
    RowControl *Img_serv() const { return Img_serv_; }
    RowControl *Img_n_up() const { return Img_n_up_; }
    RowControl *Img_n_dn() const { return Img_n_dn_; }
    RowControl *L_nAHU() const { return L_nAHU_; }
    QMenu *MenuServ() const { return MenuServ_; }
    // Unit window n; nullptr until it is first opened.
    TFormSolo *solo(int n) const;
    // The options dialog; nullptr until it is first opened.
    TFormProgParam *formProgParam() const { return formProgParam_; }
    QMenu *MenuSolo() const { return MenuSolo_; }
    // The diagnostic window; nullptr until the diagnostic mode first showed it.
    TFormTest *formTest() const { return formTest_; }
    TFormHelp *formHelp() const { return formHelp_; }
    TFormHistory *formHistory() const { return formHistory_; }
    TFormCharts *formCharts() const { return formCharts_; }
    ProgramView::TrayIcon shownTrayIcon() const { return trayShown_; }
    QSystemTrayIcon *tray() const { return tray_; }
    bool trayAnimating() const { return trayAnimation_.isActive(); }

Q_SIGNALS:
    void closed();

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // An error or notice while the shutdown runs: written down, nobody is asked.
    void reportQuietly(const QString &text);

    void buildHeader();
    void buildRow(int r);
    void buildMenus();
    void renderRow(int r);
    void renderHeader();
    void setRowNames(int r);
    void trayFrame();
    // The window an editor or message box opens over: the unit window whose click opened it, or
    // unit 1's when the main window is hidden (single-unit mode), else the main window.
    QWidget *editorAnchor();
    template <class Editor> void runEditor(Editor *&editor, int n);
    // The program's windows besides the main window that minimising to the tray takes along.
    std::vector<QWidget *> toolWindows() const;
    // While the options dialog runs, every other window is blocked; a window opened from it
    // belongs to it until it closes.
    void lendToOptions(QWidget *window);

    Program &program_;
    TMessageForm *messageForm_ = nullptr;
    TFormIP *formIP_ = nullptr;
    TFormSetMain *formSetMain_ = nullptr;
    TFormSetVAV *formSetVAV_ = nullptr;
    TFormArch *formArch_ = nullptr;
    TMode *formMode_ = nullptr;
    TFormScen *formScen_ = nullptr;
    TFormSet *formSet_ = nullptr;
    TFormTest *formTest_ = nullptr;
    // Set while the main window's showing runs the program's start-of-showing work.
    bool inFormShow_ = false;
    TFormHelp *formHelp_ = nullptr;
    TFormHistory *formHistory_ = nullptr;
    TFormCharts *formCharts_ = nullptr;
    TFormProgParam *formProgParam_ = nullptr;
    std::array<Row, 11> rows_{};
    // Whether each row's strip is drawn, so that it is drawn again only when that changes.
    std::array<bool, 11> stripShown_{};
    // What each row showed when last rendered, so that a reply that changes nothing costs nothing;
    // the layout renders every row afresh.
    struct RenderedRow
    {
        RowView view;
        bool inUse = false;
        bool service = false;
        qreal dpr = 1;
        bool operator==(const RenderedRow &) const = default;
    };
    std::array<std::optional<RenderedRow>, 11> renderedRows_{};
    // The unit windows are windows of their own (with their own taskbar entry in single-unit mode),
    // owned here.
    std::array<std::unique_ptr<TFormSolo>, 11> solos_{};
    TFormSolo *actingSolo_ = nullptr;
    RowControl *Img_serv_ = nullptr;
    RowControl *Img_n_up_ = nullptr;
    RowControl *Img_n_dn_ = nullptr;
    RowControl *L_nAHU_ = nullptr;
    QMenu *MenuServ_ = nullptr;
    QMenu *MenuSolo_ = nullptr;
    QAction *TuneIP_ = nullptr;
    QAction *MainPar_ = nullptr;
    QAction *SoloArch_ = nullptr;
    QSystemTrayIcon *tray_ = nullptr;
    QTimer trayAnimation_;
    int trayFrame_ = 0;
    ProgramView::TrayIcon trayShown_ = ProgramView::TrayIcon::None;
    bool wasMinimized_ = false;
    // The shutdown has begun, and has ended.
    bool shutdownStarted_ = false;
    bool shutdownDone_ = false;
    // The windows that were open when the program went to the tray, shown again on restoring.
    std::vector<QPointer<QWidget>> hiddenToTray_;
    // The windows lent to the options dialog while it is open.
    std::vector<QPointer<QWidget>> lentToOptions_;
};

} // namespace kvu
