// SPDX-License-Identifier: MIT
#include "panel/form1.h"

#include <QGroupBox>
#include <QLayout>
#include <QMenuBar>

#include "link/link.h"
#include "link/port_defaults.h"
#include "panel/form1_layout.h"
#include "panel/units.h"
#include "state/dispatcher.h"
#include "state/panel_state.h"

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

}  // namespace

Form1::Form1(link::Link& link, state::PanelState& state, const SteadyClock* viewClock,
             QWidget* parent)
    : QMainWindow(parent), link_(link), state_(state), view_(state, viewClock) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Merivax vacuum panel"));
    setFont(WindowFont());

    surface_ = new Surface(this);
    surface_->setObjectName(QStringLiteral("surface"));
    surface_->setFixedSize(TwipsToPixels(kClientWidth), TwipsToPixels(kClientHeight));
    setCentralWidget(surface_);

    BuildControls();
    BuildMenus();
    ConnectHandlers();
    view_.Bind(*this);
    // Nothing on the window moves or scales, so neither may the window.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // Settled now rather than when first shown, which some platforms cannot pass on.
    layout()->activate();
}

Form1::~Form1() = default;

void Form1::ConnectHandlers() {
    connect(Combo1, &QComboBox::currentIndexChanged, this, &Form1::Combo1_Click);
    connect(Combo2, &QComboBox::currentIndexChanged, this, &Form1::Combo2_Click);
    connect(Combo3, &QComboBox::currentIndexChanged, this, &Form1::Combo3_Click);
    connect(cmdConnect, &QPushButton::clicked, this, &Form1::cmdConnect_Click);
    connect(cmdDisconnect, &QPushButton::clicked, this, &Form1::cmdDisconnect_Click);
    connect(cmdClearError, &QPushButton::clicked, this, &Form1::cmdClearError_Click);
    commands_.Connect();
    setPoints_.Connect();
    contextMenus_.Connect();
}

// The operator's defaults, chosen through the lists as if picked by hand.
void Form1::Form_Load() {
    Combo1->setCurrentIndex(Combo1->findText(link::kStartSpeed));
    Combo2->setCurrentIndex(Combo2->findText(link::kStartParity));
    Combo3->setCurrentIndex(link::kStartPort - 1);
}

void Form1::Combo1_Click() {
    link_.MSComm1().SetSettings(link::SettingsText(Combo1->currentText(), Combo2->currentText()));
}

void Form1::Combo2_Click() {
    Combo1_Click();
}

void Form1::Combo3_Click() {
    link::MSComm& port = link_.MSComm1();
    if (port.PortOpen()) port.SetPortOpen(false);
    port.SetCommPort(static_cast<std::int16_t>(Combo3->currentIndex() + 1));
}

void Form1::cmdConnect_Click() {
    emit OperatorAction(cmdConnect->objectName(), {});
    link_.Connect();
}

void Form1::cmdDisconnect_Click() {
    emit OperatorAction(cmdDisconnect->objectName(), {});
    link_.Disconnect();
}

void Form1::cmdClearError_Click() {
    emit OperatorAction(cmdClearError->objectName(), {});
    state::ClearErrors(state_);
}

void Form1::Send(std::string_view body) {
    if (const Result<> sent = link_.SendCommand(body); !sent.ok()) {
        state_.SetNotice(state::Text::txtStatus, sent.error().toStdString());
        emit SendFailed(sent.error());
    }
}

void Form1::ShowPortLists(bool portOpen) {
    for (auto* list : {Combo1, Combo2, Combo3}) list->setEnabled(!portOpen);
}

void Form1::ShowAsView(const QString& prefix) {
    setWindowTitle("view of " + prefix);
    for (auto* button : findChildren<Button*>()) button->setEnabled(false);
    for (auto* list : findChildren<ComboBox*>()) list->setEnabled(false);
    for (auto* box : {txtTMPspeed, txtHighVacuumSpeed, txtGlowDischargeSpeed})
        box->setEnabled(false);
    // A disabled menu stays shut in the menu bar and on the diagram alike.
    for (auto* menu : findChildren<QMenu*>()) {
        menu->menuAction()->setEnabled(false);
        for (QAction* action : menu->actions()) action->setEnabled(false);
    }
}

}  // namespace vp::panel
