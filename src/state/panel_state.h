// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <array>
#include <concepts>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "protocol/counter.h"
#include "state/colour_values.h"
#include "state/plant_facts.h"

namespace vp::test {
struct StateProbe;
}

namespace vp::state {

// clang-format off
// Every control whose look the controller or the link decides, by the control's name. The first
// 23 shapes are the indicators, in the order they are greyed.
#define VP_FILLS(X)                                                                              \
    X(shpTG1) X(shp1G1) X(shp2G1) X(shp1G3) X(shp3V1) X(shp1V1) X(shp2V1) X(shp1V2) X(shp2V2)    \
    X(shp1V3) X(shp2V3) X(shp1V4) X(shpTMP1) X(shpTMP2) X(shpRotary) X(shpCurrentMode)           \
    X(shpRequestedMode) X(shpPneumatics) X(shpTMPCooling) X(shpBranch1) X(shpBranch2)            \
    X(shpTMP1OperatingHours) X(shpTMP2OperatingHours) X(shpSend) X(shpRecv)

// Captions of labels and the texts of the two boxes the controller and the link write.
#define VP_TEXTS(X)                                                                              \
    X(lblTG1) X(lbl1G1) X(lbl2G1) X(lbl1G3) X(lblTG1State) X(lbl1G1State) X(lbl2G1State)         \
    X(lbl1G3State) X(lbl3V1status) X(lbl1V1status) X(lbl2V1status) X(lbl1V2status)              \
    X(lbl2V2status) X(lbl1V3status) X(lbl2V3status) X(lbl1V4status) X(lblTMP1status)             \
    X(lblTMP1State) X(lblTMP1speed) X(lblTMP2status) X(lblTMP2State) X(lblTMP2speed)             \
    X(lblGlowDischargeSpeed) X(lblHighVacuumSpeed) X(lblRotaryStatus) X(lblCurrentMode)          \
    X(lblRequestedMode) X(lblBranch1) X(lblBranch2) X(txtUptime) X(lblTMP1Errors)                \
    X(lblTMP2Errors) X(lblTG1Errors) X(lbl1G1Errors) X(lbl2G1Errors) X(lbl1G3Errors)             \
    X(lblIcpcon1Errors) X(lblIcpcon2Errors) X(lblIcpcon3Errors) X(lblIcpcon4Errors)              \
    X(lblIcpcon5Errors) X(lblTMP1OperatingHours) X(lblTMP2OperatingHours) X(lblCrcErrors)        \
    X(lblSentMessages) X(lblReceivedMessages) X(lblOperationErrors) X(lblStatus)                 \
    X(lblComStatus) X(txtStatus)

#define VP_LISTS(X) X(lstErrors) X(lstWarnings) X(lstMessages)
// clang-format on

#define VP_ENUMERATOR(name) name,
enum class Fill : std::uint8_t { VP_FILLS(VP_ENUMERATOR) };
enum class Text : std::uint8_t { VP_TEXTS(VP_ENUMERATOR) };
enum class List : std::uint8_t { VP_LISTS(VP_ENUMERATOR) };
#undef VP_ENUMERATOR

#define VP_COUNT(name) +1
inline constexpr std::size_t kFillCount = 0 VP_FILLS(VP_COUNT);
inline constexpr std::size_t kTextCount = 0 VP_TEXTS(VP_COUNT);
inline constexpr std::size_t kListCount = 0 VP_LISTS(VP_COUNT);
#undef VP_COUNT
inline constexpr std::size_t kIndicatorCount = 23;

// The control's object name.
const char* Name(Fill id);
const char* Name(Text id);
const char* Name(List id);

// The panel's state as values, keyed by control. Text is kept as the bytes the system speaks
// (Latin-1), colours as colour values. A control nobody has written yet is unknown, and whoever
// shows the state leaves it as it was drawn.
//
// Every value is written through a setter that announces it; a write that changes nothing is no
// news. Readers ask for what changed since the revision they last saw. Changed() is emitted on
// the first write after a reader caught up, so a reader that is not already waiting learns of
// the change without a signal per write.
class PanelState : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t kListLength = 10;  // entries a list keeps; the oldest go

    void SetFill(Fill id, ColourValue value);
    void SetCaption(Text id, std::string_view text);
    // The panel's own words (system failure texts, device and file names) may hold any character.
    // The caption keeps them as Latin-1 for readers of the system's bytes, '?' where it has none;
    // the notice keeps them whole, in UTF-8, for whoever shows them.
    void SetNotice(Text id, std::string_view utf8);
    // The newest entry goes on top; the list keeps kListLength entries.
    void InsertTop(List id, std::string entry);
    void ClearList(List id);

    bool Known(Fill id) const { return fills_[Index(id)].revision != 0; }
    bool Known(Text id) const { return texts_[Index(id)].revision != 0; }
    ColourValue FillOf(Fill id) const { return fills_[Index(id)].value; }
    const std::string& Caption(Text id) const { return texts_[Index(id)].value; }
    // The caption in UTF-8 when SetNotice wrote it last, else null.
    const std::string* Notice(Text id) const {
        const auto& notice = notices_[Index(id)];
        return notice ? &*notice : nullptr;
    }
    const std::deque<std::string>& Entries(List id) const { return lists_[Index(id)].value; }

    // Revisions count writes that changed something; 0 means never written.
    std::uint64_t Revision() const { return revision_; }
    std::uint64_t RevisionOf(Fill id) const { return fills_[Index(id)].revision; }
    std::uint64_t RevisionOf(Text id) const { return texts_[Index(id)].revision; }
    std::uint64_t RevisionOf(List id) const { return lists_[Index(id)].revision; }
    // Entries ever put on top of a list: tells a reader how far the entries it holds moved down.
    std::uint64_t Inserted(List id) const { return inserted_[Index(id)]; }
    // A reader has seen everything up to now: the next write signals again.
    void CaughtUp() { announced_ = false; }

    // The last pressure text of each gauge reported OK (TG1, 1G1, 2G1, 1G3), for the log.
    static constexpr std::size_t kGaugeCount = 4;
    const std::string& LastPressure(std::size_t gauge) const { return lastPressures_[gauge]; }
    void SetLastPressure(std::size_t gauge, std::string_view text);
    void ClearLastPressures();

    // Counters the controller's messages move; the link counts its own frames.
    std::int32_t CrcErrors() const { return crcErrors_.value(); }
    std::int32_t OperationErrors() const { return operationErrors_.value(); }
    // Reports drawn: proves none was lost at full line rate.
    std::int32_t ShownReports() const { return shownReports_.value(); }
    void CountCrcError();
    void CountOperationError();
    void ClearOperationErrors();
    void CountShownReport();

    // The same news as meaning. A change is made on a copy and announced only if the facts
    // differ afterwards, so a reader that follows Changed() hears of a change that moves no
    // caption (a code outside its table), and of nothing else.
    const PlantFacts& Plant() const { return plant_; }
    const LinkFacts& Link() const { return link_; }
    // A decoded report, arrived at utcMs: the plant as it is now, and proof that the line is
    // fresh. Taken apart from UpdatePlant so that a report at full line rate costs no copy.
    void TakeReport(protocol::StatusReport report, std::int64_t utcMs);
    template <std::invocable<PlantFacts&> Change>
    void UpdatePlant(Change&& change) {
        Update(plant_, std::forward<Change>(change));
    }
    template <std::invocable<LinkFacts&> Change>
    void UpdateLink(Change&& change) {
        Update(link_, std::forward<Change>(change));
    }

signals:
    void Changed();

private:
    template <typename T>
    struct Slot {
        T value{};
        std::uint64_t revision = 0;
    };
    template <typename E>
    static std::size_t Index(E id) {
        return static_cast<std::size_t>(id);
    }
    void Announce();
    void NoteFacts();
    void Count(protocol::Counter& counter);
    template <typename Facts, typename Change>
    void Update(Facts& facts, Change&& change) {
        Facts next = facts;
        std::forward<Change>(change)(next);
        if (next == facts) return;
        facts = std::move(next);
        NoteFacts();
    }
    friend struct test::StateProbe;

    std::array<Slot<ColourValue>, kFillCount> fills_{};
    std::array<Slot<std::string>, kTextCount> texts_{};
    std::array<std::optional<std::string>, kTextCount> notices_{};
    std::array<Slot<std::deque<std::string>>, kListCount> lists_{};
    std::array<std::uint64_t, kListCount> inserted_{};
    std::array<std::string, kGaugeCount> lastPressures_{};
    protocol::Counter crcErrors_;
    protocol::Counter operationErrors_;
    protocol::Counter shownReports_;
    PlantFacts plant_;
    LinkFacts link_;
    std::uint64_t revision_ = 0;
    bool announced_ = false;
};

}  // namespace vp::state
