#include "frmtunrell.h"

#include "connection/dialcommands.h"
#include "platform/bulletinview.h"
#include "platform/platform.h"
#include "platform/programicon.h"
#include "platform/trayicon.h"
#include "platform/windowframe.h"
#include "servernamedelegate.h"
#include "starpasswordstyle.h"
#include "web/httpgettext.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSessionManager>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// Controls the user never sees stand at 7200 twips, beyond the window's right edge.
constexpr int HiddenLeft = 480;

template <typename Widget, typename... Args> Widget* named(const char* name, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)...);
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QGroupBox* frame(const char* name, const QString& caption) {
    return named<QGroupBox>(name, caption);
}

QTimer* timer(const char* name, int interval, QObject* parent) {
    auto* t = new QTimer(parent);
    t->setObjectName(QLatin1String(name));
    t->setInterval(interval);
    return t;
}

} // namespace

frmtunrell::frmtunrell(const AppConfig& config, Platform& platform, QWidget* parent)
    : QMainWindow(parent), config_(config), platform_(platform) {
    setObjectName(QStringLiteral("frmtunrell"));
    setWindowTitle(VpnEntryName);
    // Only the confirmed exit ends the program: hidden in the tray, the window is not the last
    // one open when a question box closes.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    setProgramIcon(*this);
    buildControls();
    buildMenus();
    // Until the window manager says what frame it draws, the inside takes the whole size.
    setFixedSize(OuterSize);
    frame_ = new WindowFrame(this);
    connect(frame_, &WindowFrame::changed, this, &frmtunrell::fitIntoFrame);
    // Panels that list the tray's items list it by the window's title.
    tray_ = new TrayIcon(programIconFile(), VpnEntryName, this);
    connect(tray_, &TrayIcon::restoreRequested, this, &frmtunrell::restoreFromTray);
    connect(tray_, &TrayIcon::hostGone, this, &frmtunrell::trayHostGone);
    // KWin, still taking on a window just shown, let it stay up when it was minimised at once
    // (on Plasma 5.27 about every second time); 300 ms later it never did.
    minimiseLater_ = new QTimer(this);
    minimiseLater_->setSingleShot(true);
    minimiseLater_->setInterval(300);
    connect(minimiseLater_, &QTimer::timeout, this, [this] {
        if (isVisible() && !isMinimized()) showMinimized();
    });
    trayTip_ = new QTimer(this);
    trayTip_->setInterval(1000);
    connect(trayTip_, &QTimer::timeout, this, [this] { tray_->setToolTip(trayToolTip()); });
    for (QLabel* link : {Image1, lblbbs, lblfeedback}) {
        link->installEventFilter(this);
        link->setMouseTracking(true);
    }
    connect(Command1, &QPushButton::clicked, this, &frmtunrell::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmtunrell::Command2_Click);
#if QT_CONFIG(sessionmanager)
    // Logging out asks the same question as the close box (where Qt has no session manager,
    // the platform's EndSignals asks through sessionEndQuery()).
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& session) {
        if (!session.allowsInteraction()) return;
        if (sessionEndQuery()) session.cancel();
        session.release();
    });
#endif
    // Nothing that starts work is usable before start-up has finished: there is no public
    // address to compare against yet, and no list.
    Command1->setEnabled(false);
    M_link->setEnabled(false);
    Command2->setEnabled(false);
    M_clock->setEnabled(false);
    List1->setEnabled(false);
}

frmtunrell::~frmtunrell() = default;

void frmtunrell::buildControls() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    SSTab1 = named<QTabWidget>("SSTab1");
    auto* centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(4, 4, 4, 4);
    centralLayout->addWidget(SSTab1);

    // Tab 0, "关于软件": the about panel and the links to the maker's pages.
    auto* about = new QWidget;
    Frame5 = frame("Frame5", QStringLiteral("软件信息栏"));
    lbltitle = named<QLabel>("lbltitle", QStringLiteral("名称"));
    lblversion = named<QLabel>("lblversion", QStringLiteral("版本"));
    auto* aboutLines = new QVBoxLayout(Frame5);
    aboutLines->addWidget(lbltitle);
    aboutLines->addWidget(lblversion);
    const QString aboutCaptions[] = {QStringLiteral("功能"), QStringLiteral("设计"),
                                     QStringLiteral("发布"), QStringLiteral("主页")};
    for (int i = 0; i < 4; ++i) {
        lblmsg1[i] = named<QLabel>("lblmsg1", aboutCaptions[i]);
        lblmsg1[i]->setProperty("Index", i);
        lblmsg1[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        aboutLines->addWidget(lblmsg1[i]);
    }
    // The picture is read when its tab is first shown (see eventFilter).
    Image1 = named<QLabel>("Image1");
    Image1->setCursor(Qt::PointingHandCursor);
    lblbbs = named<QLabel>("lblbbs", QStringLiteral("软件讨论社区"));
    lblfeedback = named<QLabel>("lblfeedback", QStringLiteral("意见建议留言板"));
    for (QLabel* link : {lblbbs, lblfeedback})
        link->setCursor(Qt::PointingHandCursor);
    auto* links = new QVBoxLayout;
    links->addStretch();
    links->addWidget(lblbbs);
    links->addWidget(lblfeedback);
    links->addStretch();
    auto* linkRow = new QHBoxLayout;
    linkRow->addWidget(Image1);
    linkRow->addSpacing(16);
    linkRow->addLayout(links);
    linkRow->addStretch();
    auto* aboutLayout = new QVBoxLayout(about);
    aboutLayout->addWidget(Frame5);
    aboutLayout->addLayout(linkRow);
    aboutLayout->addStretch();

    // Tab 1, "控制界面": the control bar, the two server panels and the message log.
    auto* control = new QWidget;
    Frame3 = frame("Frame3", QStringLiteral("控制栏"));
    Frame2 = frame("Frame2", QStringLiteral("连接类型选择"));
    Combo1 = named<QComboBox>("Combo1");
    auto* typeBox = new QVBoxLayout(Frame2);
    typeBox->addWidget(Combo1);
    // Narrow sides, so that the connection type reads in full inside the window's frame.
    int top, bottom;
    typeBox->getContentsMargins(nullptr, &top, nullptr, &bottom);
    typeBox->setContentsMargins(4, top, 4, bottom);
    Command1 = named<QPushButton>("Command1", QStringLiteral("连接"));
    Command2 = named<QPushButton>("Command2", QStringLiteral("断开"));
    Label3 = named<QLabel>("Label3", QStringLiteral("连接计时: 0-0"));
    auto* bar = new QHBoxLayout(Frame3);
    bar->addWidget(Frame2);
    bar->addWidget(Command1);
    bar->addWidget(Command2);
    bar->addWidget(Label3, 1);

    Frame8 = frame("Frame8", QString());
    Frame1 = frame("Frame1", QStringLiteral("程序配置服务器"));
    List1 = named<QListWidget>("List1");
    List1->setItemDelegate(new ServerNameDelegate(List1));
    (new QVBoxLayout(Frame1))->addWidget(List1);
    Frame4 = frame("Frame4", QStringLiteral("私人配置服务器"));
    Text1 = named<QLineEdit>("Text1", QStringLiteral("Text1"));
    Text2 = named<QLineEdit>("Text2", QStringLiteral("Text2"));
    Text2->setEchoMode(QLineEdit::Password);
    auto* stars = new StarPasswordStyle;
    stars->setParent(Text2);
    Text2->setStyle(stars);
    Text3 = named<QLineEdit>("Text3", QStringLiteral("Text3"));
    auto* privateGrid = new QGridLayout(Frame4);
    const QString boxCaptions[] = {QStringLiteral("帐号"), QStringLiteral("密码"),
                                   QStringLiteral("地址")};
    QLineEdit* const boxes[] = {Text1, Text2, Text3};
    for (int i = 0; i < 3; ++i) {
        Label1[i] = named<QLabel>("Label1", boxCaptions[i]);
        Label1[i]->setProperty("Index", i);
        privateGrid->addWidget(Label1[i], i, 0);
        privateGrid->addWidget(boxes[i], i, 1);
        // Named by their labels, not by the group's title, for screen readers.
        Label1[i]->setBuddy(boxes[i]);
        boxes[i]->setAccessibleName(boxCaptions[i]);
    }
    privateGrid->setRowStretch(3, 1);
    Frame7 = frame("Frame7", QStringLiteral("信息提示栏"));
    List2 = named<QListWidget>("List2");
    (new QVBoxLayout(Frame7))->addWidget(List2);
    auto* panels = new QHBoxLayout;
    panels->addWidget(Frame1, 1);
    panels->addWidget(Frame4, 1);
    auto* lower = new QVBoxLayout(Frame8);
    lower->addLayout(panels, 1);
    lower->addWidget(Frame7, 1);
    auto* controlLayout = new QVBoxLayout(control);
    controlLayout->addWidget(Frame3);
    controlLayout->addWidget(Frame8, 1);

    // Tab 2, "信息公告": the bulletin page.
    WebBrowser1 = named<BulletinView>("WebBrowser1");

    SSTab1->addTab(about, QStringLiteral("关于软件"));
    SSTab1->addTab(control, QStringLiteral("控制界面"));
    SSTab1->addTab(WebBrowser1, QStringLiteral("信息公告"));
    SSTab1->setCurrentIndex(1);
    SSTab1->setAccessibleName(QStringLiteral("选项卡"));
    Combo1->setAccessibleName(QStringLiteral("连接类型选择"));
    List1->setAccessibleName(QStringLiteral("程序配置服务器"));
    List2->setAccessibleName(QStringLiteral("信息提示栏"));
    WebBrowser1->setAccessibleName(SSTab1->tabText(SSTab1->indexOf(WebBrowser1)));
    // Switched off while connected, the server panels and the log still read as they did:
    // they take no input, but keep their colours.
    for (QWidget* frame : {Frame2, Frame8})
        for (QWidget* part : frame->findChildren<QWidget*>()) {
            QPalette palette = part->palette();
            for (const auto role :
                 {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::Base,
                  QPalette::Button, QPalette::Highlight, QPalette::HighlightedText})
                palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Active, role));
            part->setPalette(palette);
        }

    // Beyond the right edge: the list-load trigger, the server data and the timers.
    Command3 = named<QPushButton>("Command3", QStringLiteral("获取服务器列表"), central);
    Command3->setGeometry(HiddenLeft, 8, 120, 24);
    connect(Command3, &QPushButton::clicked, this, &frmtunrell::Command3_Click);
    Serverlst = named<QListWidget>("Serverlst", central);
    Serverlst->setGeometry(HiddenLeft, 40, 120, 80);
    Frame6 = named<QGroupBox>("Frame6", QStringLiteral("Frame6"), central);
    Frame6->setGeometry(HiddenLeft, 128, 120, 60);
    // Out of sight is out of reach: hidden too, neither Tab, a click nor a screen reader gets to
    // them, and showing the window does not lay them out.
    for (QWidget* hidden : {static_cast<QWidget*>(Command3), static_cast<QWidget*>(Serverlst),
                            static_cast<QWidget*>(Frame6)})
        hidden->hide();
    Timer1 = timer("Timer1", 1000, Frame6);
    Timer2 = timer("Timer2", 5000, Frame6);
    Timer3 = timer("Timer3", 1000, Frame6);
    Timer4 = timer("Timer4", 1000, Frame6);
    Timer5 = timer("Timer5", 1000, Frame6);
    // A tick that waits for the network keeps its own timer's next ticks from starting.
    connect(Timer1, &QTimer::timeout, this, &frmtunrell::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &frmtunrell::Timer2_Timer);
    connect(Timer3, &QTimer::timeout, this, &frmtunrell::Timer3_Timer);
    connect(Timer4, &QTimer::timeout, this, &frmtunrell::Timer4_Timer);
    connect(Timer5, &QTimer::timeout, this, &frmtunrell::Timer5_Timer);

    connect(Combo1, &QComboBox::currentIndexChanged, this, &frmtunrell::Combo1_Click);
    connect(List1, &QListWidget::currentRowChanged, this, &frmtunrell::List1_Click);
    // A click on the server already chosen reads its line again, as choosing it anew does.
    connect(List1, &QListWidget::itemClicked, this, &frmtunrell::List1_Click);
}

void frmtunrell::buildMenus() {
    auto action = [](QMenu* menu, const char* name, const QString& caption) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    QMenu* M_menu = menuBar()->addMenu(QStringLiteral("菜单管理"));
    M_menu->setObjectName(QStringLiteral("M_menu"));
    M_link = action(M_menu, "M_link", QStringLiteral("连接"));
    M_clock = action(M_menu, "M_clock", QStringLiteral("断开"));
    M_exit = action(M_menu, "M_exit", QStringLiteral("退出"));
    QMenu* M_help = menuBar()->addMenu(QStringLiteral("软件帮助"));
    M_help->setObjectName(QStringLiteral("M_help"));
    M_Ct = action(M_help, "M_Ct", QStringLiteral("支持Miravon"));
    M_msg = action(M_help, "M_msg", QStringLiteral("信息公告"));
    M_lblfeedback = action(M_help, "M_lblfeedback", QStringLiteral("故障反馈"));
    M_about = action(M_help, "M_about", QStringLiteral("关于软件"));

    connect(M_link, &QAction::triggered, this, &frmtunrell::Command1_Click);
    connect(M_clock, &QAction::triggered, this, &frmtunrell::Command2_Click);
    connect(M_exit, &QAction::triggered, this, &QWidget::close);
    connect(M_Ct, &QAction::triggered, this, &frmtunrell::M_Ct_Click);
    connect(M_lblfeedback, &QAction::triggered, this, &frmtunrell::lblfeedback_Click);
    connect(M_msg, &QAction::triggered, this, [this] { SSTab1->setCurrentIndex(2); });
    connect(M_about, &QAction::triggered, this, [this] { SSTab1->setCurrentIndex(0); });
}

void frmtunrell::LogLine(const QString& text) {
    List2->addItem(text);
    List2->setCurrentRow(List2->count() - 1);
    emit lineLogged(text);
}

void frmtunrell::endWithoutQuestion() {
    // From here on no handler does anything more, also one that waits inside a fetch.
    ending_ = true;
    platform_.launch(HangUpCommand, 0);
    platform_.endProgram(0);
}

bool frmtunrell::sessionEndQuery() {
    try {
        return Form_QueryUnload();
    } catch (const PlatformError&) {
        return true; // no question could be asked: the program stays
    }
}

bool frmtunrell::Form_QueryUnload() {
    // "连接" is off while a dial runs, while connected and during the reconnect pause (and,
    // with nothing to hang up, while start-up looks for the public address).
    const QString question = Command1->isEnabled() || !startupDone_
                                 ? QStringLiteral("您是否确认退出?")
                                 : QStringLiteral("您是否确认退出,退出将自动断开网络连接?");
    if (platform_.messageBox(question, QStringLiteral("退出提示"), 33) != 1) return true;
    endWithoutQuestion();
    return false;
}

void frmtunrell::closeEvent(QCloseEvent* event) {
    bool cancel = true;
    try {
        cancel = Form_QueryUnload();
    } catch (const PlatformError&) {
        // No question could be asked: the window stays.
    }
    if (cancel)
        event->ignore();
    else
        event->accept();
}
