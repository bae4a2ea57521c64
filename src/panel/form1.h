// SPDX-License-Identifier: MIT
#pragma once

#include <QGroupBox>
#include <QMainWindow>
#include <QMenu>
#include <QTimer>
#include <memory>
#include <string_view>

#include "panel/context_menus.h"
#include "panel/controls.h"
#include "panel/operator_commands.h"
#include "panel/set_points.h"
#include "panel/view.h"

namespace vp::link {
class Link;
}
namespace vp::state {
class PanelState;
}

namespace vp::panel {

// The panel's one window. Controls are typed members named as the operator's documentation
// names them (and carry the same Qt object names); they are created from the layout tables in
// form1_layout.cpp and the menu table in form1_menus.cpp. The window shows the panel's state
// through its view, and the operator's handlers ask the link to act.
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    // The view paces its renders by the clock; the system's when null.
    Form1(link::Link& link, state::PanelState& state, const SteadyClock* viewClock = nullptr,
          QWidget* parent = nullptr);
    ~Form1() override;

    // --- start-up and port settings
    void Form_Load();
    void Combo1_Click();
    void Combo2_Click();
    void Combo3_Click();
    void cmdConnect_Click();
    void cmdDisconnect_Click();
    void cmdClearError_Click();
    // The connection display's tick: the port lists are locked while the port is open.
    void ShowPortLists(bool portOpen);
    // Makes the window a view of a plant elsewhere: captioned "view of <prefix>", and every
    // control that would send, or would choose a port, disabled.
    void ShowAsView(const QString& prefix);

    // Asks the link to write the body; a frame that did not go out is said in the status box,
    // as the link's other failures are.
    void Send(std::string_view body);

    link::Link& link() { return link_; }
    View& view() { return view_; }
    OperatorCommands& commands() { return commands_; }
    SetPoints& setPoints() { return setPoints_; }
    ContextMenus& contextMenus() { return contextMenus_; }

    // --- synoptic diagram: component shapes
    Shape* shpVessel{};
    Shape* shpTG1{};
    Shape* shp1G1{};
    Shape* shp2G1{};
    Shape* shp1G3{};
    Shape* shp1V1{};
    Shape* shp2V1{};
    Shape* shp3V1{};
    Shape* shp1V2{};
    Shape* shp2V2{};
    Shape* shp1V3{};
    Shape* shp2V3{};
    Shape* shp1V4{};
    Shape* shpTMP1{};
    Shape* shpTMP2{};
    Shape* shpRotary{};
    Shape* Shape14{};
    Shape* shpTMPCooling{};
    Shape* shpPneumatics{};

    // --- pipes
    Line* Line1{};
    Line* Line4{};
    Line* Line6{};
    Line* Line3{};
    Line* Line5{};
    Line* Line7{};
    Line* Line11{};
    Line* Line8{};
    Line* Line13{};
    Line* Line10{};
    Line* Line9{};

    // --- diagram labels
    Label* Label18{};
    Label* Label11{};
    Label* Label12{};
    Label* lblTG1{};
    Label* Label4{};
    Label* Label26{};
    Label* lbl1G1{};
    Label* Label9{};
    Label* Label27{};
    Label* lbl2G1{};
    Label* Label10{};
    Label* Label28{};
    Label* lbl1G3{};
    Label* lbl1V1{};
    Label* lbl1V1status{};
    Label* lbl2V1{};
    Label* lbl2V1status{};
    Label* lbl3V1{};
    Label* lbl3V1status{};
    Label* lbl1V2{};
    Label* lbl1V2status{};
    Label* Label3{};
    Label* lbl2V2{};
    Label* lbl2V2status{};
    Label* Label2{};
    Label* lbl2V3{};
    Label* lbl2V3status{};
    Label* Label5{};
    Label* lbl1V3{};
    Label* lbl1V3status{};
    Label* lbl1V4{};
    Label* lbl1V4status{};
    Label* lblTmp1{};
    Label* Label16{};
    Label* Label15{};
    Label* lblTMP1speed{};
    Label* lblTMP1status{};
    Label* lblTmp2{};
    Label* Label17{};
    Label* Label14{};
    Label* lblTMP2speed{};
    Label* lblTMP2status{};
    Label* lblRotary{};
    Label* lblRotaryStatus{};
    Label* Label19{};
    Label* Label13{};
    Label* lblPneumatics{};

    // --- plant boxes on the left
    Shape* shpBranch1{};
    Label* lblBranch1{};
    Shape* shpBranch2{};
    Label* lblBranch2{};
    Shape* shpTMP1OperatingHours{};
    Label* lblTMP1OperatingHours{};
    Shape* shpTMP2OperatingHours{};
    Label* lblTMP2OperatingHours{};
    Label* lblUptime{};
    TextBox* txtUptime{};

    // --- device states
    Shape* Shape9{};
    Shape* Shape8{};
    Label* lblTMP1State{};
    Label* lblTMP2State{};
    Label* lblTG1State{};
    Label* lbl1G1State{};
    Label* lbl2G1State{};
    Label* lbl1G3State{};

    // --- error counts
    Shape* Shape4{};
    Label* lblIcpcon1Errors{};
    Label* lblIcpcon2Errors{};
    Label* lblIcpcon3Errors{};
    Label* lblIcpcon4Errors{};
    Label* lblIcpcon5Errors{};
    Button* cmdIcpconErrorsReset{};
    Shape* Shape5{};
    Label* lblTG1Errors{};
    Label* lbl1G1Errors{};
    Label* lbl2G1Errors{};
    Label* lbl1G3Errors{};
    Button* cmdGaugeErrorsReset{};
    Shape* Shape6{};
    Label* lblTMP1Errors{};
    Label* lblTMP2Errors{};
    Button* cmdTmpErrorsReset{};

    // --- speed set-points
    Shape* Shape1{};
    Label* Label20{};
    Label* Label7{};
    TextBox* txtTMPspeed{};
    Button* cmdTMPspeed{};
    Shape* Shape2{};
    Label* Label29{};
    Label* Label21{};
    TextBox* txtHighVacuumSpeed{};
    Label* lblHighVacuumSpeed{};
    Button* cmdHighVacuumSpeed{};
    Shape* Shape3{};
    Label* Label31{};
    Label* Label30{};
    TextBox* txtGlowDischargeSpeed{};
    Label* lblGlowDischargeSpeed{};
    Button* cmdGlowDischargeSpeed{};

    // --- operating modes
    Shape* Shape7{};
    Button* cmdIdleMode{};
    Button* cmdGlowDischarge{};
    Button* cmdUnsafeMode{};
    Button* cmdHigh{};
    Button* cmdPrimary{};
    Button* cmdStop{};
    Shape* shpCurrentMode{};
    Label* Label1{};
    Label* lblCurrentMode{};
    Shape* shpRequestedMode{};
    Label* Label32{};
    Label* lblRequestedMode{};

    // --- the "Status" frame
    QGroupBox* Frame1{};
    Label* lblStatus{};
    Label* lblComStatus{};
    ComboBox* Combo1{};
    ComboBox* Combo2{};
    ComboBox* Combo3{};
    Button* cmdConnect{};
    Button* cmdDisconnect{};
    Shape* shpSend{};
    Label* Label22{};
    Shape* shpRecv{};
    Label* Label23{};
    Label* lblCrcErrors{};
    Label* lblSentMessages{};
    Label* lblReceivedMessages{};
    Button* cmdClearError{};
    Label* Label6{};
    TextBox* txtStatus{};
    Label* Label8{};
    Label* Label24{};
    Label* Label25{};
    ListBox* lstErrors{};
    ListBox* lstWarnings{};
    ListBox* lstMessages{};
    Label* lblOperationErrors{};

    // --- menus
    QMenu* mnuTmp1{};
    QAction* mnuTmp1On{};
    QAction* mnuTmp1Off{};
    QMenu* mnuTmp2{};
    QAction* mnuTmp2On{};
    QAction* mnuTmp2Off{};
    QMenu* mnuRotary{};
    QAction* mnuRotaryOn{};
    QAction* mnuRotaryOff{};
    QMenu* mnu1V1{};
    QAction* mnu1V1Open{};
    QAction* mnu1V1Close{};
    QMenu* mnu2V1{};
    QAction* mnu2V1Open{};
    QAction* mnu2V1Close{};
    QMenu* mnu1V3{};
    QAction* mnu1V3Open{};
    QAction* mnu1V3Close{};
    QMenu* mnu3V1{};
    QAction* mnu3V1Open{};
    QAction* mnu3V1Close{};
    QMenu* mnuTG1{};
    QAction* mnuTG1_filament_on{};
    QAction* mnuTG1_filament_off{};
    QAction* mnuTG1_degas{};
    QMenu* mnu1G1{};
    QAction* mnu1G1_filament_on{};
    QAction* mnu1G1_filament_off{};
    QAction* mnu1G1_degas{};
    QMenu* mnu2G1{};
    QAction* mnu2G1_kk_sensor_on{};
    QAction* mnu2G1_kk_sensor_off{};
    QMenu* mnuChiller{};
    QAction* mnuChillerStart{};
    QAction* mnuChillerStop{};
    QMenu* mnuBranch1{};
    QAction* mnuBranch1Activate{};
    QAction* mnuBranch1Deactivate{};
    QMenu* mnuBranch2{};
    QAction* mnuBranch2Activate{};
    QAction* mnuBranch2Deactivate{};
    QMenu* mnuMode{};
    QAction* mnuIdle{};
    QAction* mnuHighVacuum{};
    QAction* mnuGlowDischarge{};
    QAction* mnuPrimaryVacuum{};
    QAction* mnuUnsafeMode{};
    QAction* mnuStop{};

    // The window's client area (menu bar excluded).
    Surface* surface() const { return surface_; }

signals:
    // The operator pressed a control or chose a menu entry: the command's body when it sends one
    // (before its checksum, whether or not the port is open), empty for Connect, Disconnect and
    // Clear. Emitted before the frame is written.
    void OperatorAction(const QString& control, const QByteArray& body);
    // A set-point typed into the box was refused, and nothing was sent.
    void SetPointRefused(const QString& box, const QString& typed);
    // A command's frame did not go out, and why (the status box says the same).
    void SendFailed(const QString& why);

private:
    void BuildControls();
    void BuildMenus();
    void StackDiagram();
    void ConnectHandlers();

    link::Link& link_;
    state::PanelState& state_;
    Surface* surface_{};
    OperatorCommands commands_{*this};
    SetPoints setPoints_{*this};
    ContextMenus contextMenus_{*this};
    View view_;
};

}  // namespace vp::panel
