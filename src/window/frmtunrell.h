#pragma once

#include "appconfig.h"
#include "connection/clocks.h"
#include "connectorstate.h"

#include <QMainWindow>
#include <QSize>

#include <memory>

class BulletinView;
class FetchesAhead;
class Platform;
class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTimer;
class TrayIcon;
class WindowFrame;

// The connector's one window. It owns all state of the program; its handlers, named after
// the control and event they serve, hold the program's logic. Every control carries its name
// as objectName.
class frmtunrell : public QMainWindow {
    Q_OBJECT
public:
    // The window's fixed outer size, frame included: 6615 × 8010 twips at 15 twips a pixel.
    static constexpr QSize OuterSize{441, 534};

    frmtunrell(const AppConfig& config, Platform& platform, QWidget* parent = nullptr);
    ~frmtunrell() override;

    // Start-up, run once before the window is first shown. Returns once the public address
    // is known and the server list has been loaded; while the lookup host gives no address
    // it shows the window and keeps asking.
    void Form_Load();
    // Shows the window once start-up has finished, unless the user has put it in the
    // notification area meanwhile: there it stays.
    void showAfterStartup();

    // The handlers that other handlers and the menus run directly.
    void Command3_Click();    // loads the server list
    void List1_Click();       // a server was selected
    void Combo1_Click();      // the connection type was chosen
    void M_Ct_Click();        // the menu form of the start-page prompt
    void Command1_Click();    // connects to the chosen server
    void Command2_Click();    // disconnects, after a confirmation
    void Timer1_Timer();      // the connect check
    void Timer2_Timer();      // the drop watch
    void Timer3_Timer();      // the sweep of "网络连接" windows after a drop
    void Timer4_Timer();      // the connection clock
    void Timer5_Timer();      // the reconnect pause
    void Image1_Click();      // opens the maker's home page
    void lblbbs_Click();      // opens the forum
    void lblfeedback_Click(); // opens the guest book
    // Shows the window, back from the notification area, in front of the others.
    void bringToFront();
    // Asks whether to quit; on OK hangs up and ends the program. True keeps the window.
    bool Form_QueryUnload();
    // The session is ending (a logoff or shutdown) and asks first: the same question as the
    // close box, whose OK hangs up and ends the program. True keeps the program (and the
    // session, where the system lets a program keep it).
    bool sessionEndQuery();
    // The program is told to end without a question (SIGTERM, SIGINT, SIGHUP, the end of the
    // session): the link is hung up as after a confirmed exit, and the program ends with
    // status 0.
    void endWithoutQuestion();

    // Writes the phonebook entry for a server address, with empty stored credentials. The user
    // name and password are not stored. True when both were written.
    bool Create_VPN_Connection(const QString& entryName, const QString& serverAddress,
                               const QString& userName, const QString& password);

    // Adds a line to the message log and selects it, so that it scrolls into view. The log stays
    // in the window: it holds the public address and the tunnel's.
    void LogLine(const QString& text);

    const ConnectorState& state() const { return state_; }
    // Where the connection stands, read from the running timers.
    ConnectionPhase phase() const;

signals:
    // A line was added to the message log, for whoever asked to keep it elsewhere.
    void lineLogged(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class PromptForm { Startup, Menu };

    void buildControls();
    void buildMenus();
    void fillAboutPanel();
    bool findPublicAddress();
    void waitingFor(const QString& what);
    bool lookUpCurrentAddress(int& errors);
    void showBulletin();
    void Form_Resize();
    void fitIntoFrame();
    void restoreFromTray();
    void trayHostGone();
    QString trayToolTip() const;
    void openLink(const QString& path);
    void StartPagePrompt(PromptForm form);
    void selectConnectionType(int index);
    void selectServer(int row);
    void DialConfiguredServer();
    void DialPrivateServer();
    void dial(const QString& serverAddress, const QString& userName, const QString& password);
    static void switchOn(QTimer* timer);

    const AppConfig config_;
    Platform& platform_;
    ConnectorState state_;
    bool startupDone_ = false; // the public address is known and the list was asked for
    bool ending_ = false;      // the exit was confirmed: nothing more happens
    QTimer* startupNotice_ = nullptr;
    QString waitingFor_; // what start-up waits for on the network now
    // Start-up's GETs, kept until a second after start-up (see Form_Load).
    std::unique_ptr<FetchesAhead> fetchesAhead_;
    TrayIcon* tray_ = nullptr;
    QTimer* trayTip_ = nullptr; // keeps the icon's tooltip up to date
    bool toldNoBrowser_ = false;
    bool minimiseOnceShown_ = false;  // back from a tray that has gone
    QTimer* minimiseLater_ = nullptr; // minimises it once the window manager has it
    WindowFrame* frame_ = nullptr;
    // A link that has just been double-clicked: the release that ends the double click opens
    // nothing, the first click has opened the page.
    QObject* doubleClicked_ = nullptr;

    QTabWidget* SSTab1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QComboBox* Combo1 = nullptr;
    QListWidget* List1 = nullptr;
    QListWidget* List2 = nullptr;
    QListWidget* Serverlst = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLabel* Label1[3] = {};
    QLabel* Label3 = nullptr;
    QLabel* lbltitle = nullptr;
    QLabel* lblversion = nullptr;
    QLabel* lblmsg1[4] = {};
    QLabel* lblbbs = nullptr;
    QLabel* lblfeedback = nullptr;
    QLabel* Image1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QGroupBox* Frame4 = nullptr;
    QGroupBox* Frame5 = nullptr;
    QGroupBox* Frame6 = nullptr;
    QGroupBox* Frame7 = nullptr;
    QGroupBox* Frame8 = nullptr;
    BulletinView* WebBrowser1 = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QTimer* Timer3 = nullptr;
    QTimer* Timer4 = nullptr;
    QTimer* Timer5 = nullptr;
    QAction* M_link = nullptr;
    QAction* M_clock = nullptr;
    QAction* M_exit = nullptr;
    QAction* M_Ct = nullptr;
    QAction* M_msg = nullptr;
    QAction* M_lblfeedback = nullptr;
    QAction* M_about = nullptr;
};
