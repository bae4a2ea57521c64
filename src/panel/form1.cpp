#include "panel/form1.h"

#include <QGroupBox>
#include <QLayout>
#include <QMenuBar>

#include "panel/units.h"

namespace vp::panel {

namespace {

// Stand-in for the small sans serif the operators know. Liberation Sans (Arial's metrics) at
// 10 pixels keeps every caption inside the box it was drawn for; at 11 pixels, the nominal
// 8.25 pt, the widest captions ("TMP speed (glow discharge)") spill out of their boxes.
QFont WindowFont() {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(10);
    return font;
}

struct TimerRow {
    QTimer* Form1::*member;
    const char* name;
    int interval;  // ms; never changed at run time
    bool enabled;
};

#define M(control) &Form1::control, #control
const TimerRow kTimers[] = {
    {M(Timer1), 100, true},                  // status poll
    {M(Timer2), 500, true},                  // connection display
    {M(Timer3), 100, false},                 // send lamp off
    {M(Timer4), 100, false},                 // receive lamp off
    {M(Timer5), 3000, true},                 // link watchdog
    {M(tmrTMPOperatingHours), 10000, true},  // rotating slow poll
    {M(tmrLogData), 60000, true},            // pressure log
};
#undef M

constexpr int kClientWidth = 12915;
constexpr int kClientHeight = 10170;

}  // namespace

Form1::Form1(link::PortNames ports, const logging::Clock* clock, QWidget* parent)
    : QMainWindow(parent), log_(clock ? *clock : systemClock_) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Merivax vacuum panel"));
    setFont(WindowFont());

    surface_ = new Surface(this);
    surface_->setObjectName(QStringLiteral("surface"));
    surface_->setFixedSize(TwipsToPixels(kClientWidth), TwipsToPixels(kClientHeight));
    setCentralWidget(surface_);

    MSComm1 = new link::MSComm(std::move(ports), this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));

    BuildControls();
    BuildMenus();
    BuildTimers();
    ConnectHandlers();
    Form_Load();
    // Nothing on the window moves or scales, so neither may the window.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

Form1::~Form1() = default;

void Form1::BuildTimers() {
    for (const TimerRow& row : kTimers) {
        auto* timer = new QTimer(this);
        timer->setObjectName(QString::fromLatin1(row.name));
        timer->setInterval(row.interval);
        this->*row.member = timer;
    }
}

void Form1::ConnectHandlers() {
    connect(Combo1, &QComboBox::currentIndexChanged, this, &Form1::Combo1_Click);
    connect(Combo2, &QComboBox::currentIndexChanged, this, &Form1::Combo2_Click);
    connect(Combo3, &QComboBox::currentIndexChanged, this, &Form1::Combo3_Click);

    connect(cmdConnect, &QPushButton::clicked, this, [this] { connection_.cmdConnect_Click(); });
    connect(cmdDisconnect, &QPushButton::clicked, this,
            [this] { connection_.cmdDisconnect_Click(); });
    connect(MSComm1, &link::MSComm::OnComm, this, [this] { connection_.MSComm1_OnComm(); });
    connect(cmdClearError, &QPushButton::clicked, this,
            [this] { dispatcher_.cmdClearError_Click(); });

    connect(Timer1, &QTimer::timeout, this, [this] { polls_.Timer1_Timer(); });
    connect(Timer2, &QTimer::timeout, this, [this] { connection_.Timer2_Timer(); });
    connect(Timer3, &QTimer::timeout, this, [this] { polls_.Timer3_Timer(); });
    connect(Timer4, &QTimer::timeout, this, [this] { polls_.Timer4_Timer(); });
    connect(Timer5, &QTimer::timeout, this, [this] { polls_.Timer5_Timer(); });
    connect(tmrTMPOperatingHours, &QTimer::timeout, this,
            [this] { polls_.tmrTMPOperatingHours_Timer(); });
    connect(tmrLogData, &QTimer::timeout, this, &Form1::tmrLogData_Timer);

    commands_.Connect();
    setPoints_.Connect();
    contextMenus_.Connect();
}

void Form1::Form_Load() {
    display_.ClearLastPressures();
    lstErrors->clear();
    lstWarnings->clear();
    lstMessages->clear();
    GreyIndicators();
    polls_.StatusSeen = 0;
    MSComm1->SetSettings(QStringLiteral("9600,N,8,1"));
    lblComStatus->SetCaption("Com" + QString::number(MSComm1->CommPort()) + "," +
                             MSComm1->Settings());
    Combo1->setCurrentIndex(3);
    Combo2->setCurrentIndex(0);
    Combo3->setCurrentIndex(2);
    for (const TimerRow& row : kTimers)
        if (row.enabled) (this->*row.member)->start();
}

void Form1::GreyIndicators() {
    for (Shape* shape : indicators_) shape->SetFillColor(kGreyText);
}

void Form1::Combo1_Click() {
    MSComm1->SetSettings(Combo1->currentText() + "," + Combo2->currentText() + ",8,1");
}

void Form1::Combo2_Click() {
    Combo1_Click();
}

void Form1::Combo3_Click() {
    if (MSComm1->PortOpen()) MSComm1->SetPortOpen(false);
    MSComm1->SetCommPort(static_cast<std::int16_t>(Combo3->currentIndex() + 1));
}

}  // namespace vp::panel

namespace vp::panel {

void Form1::tmrLogData_Timer() {
    if (const auto notice = log_.Tick(display_.LastPressures())) txtStatus->setText(*notice);
}

}  // namespace vp::panel
