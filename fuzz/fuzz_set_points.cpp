// SPDX-License-Identifier: MIT
// The set-point procedure with whatever an operator could type: it never crashes, and what goes
// out on the line (read back from the far end of a pseudo-terminal, exactly as the controller
// would) is one "0NN_VVV" frame with VVV within 20..100 when the box turns white, and nothing
// when it turns red.
#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <poll.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <string>

#include "app/panel.h"
#include "app/panel_window.h"
#include "panel/form1.h"

// Fontconfig keeps a cache for the life of the process that LeakSanitizer takes for a leak.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

struct Line {
    int master = -1;
    // Kept for the life of the process, and held here so that the leak check sees them held.
    vp::app::Panel* panel = nullptr;
    vp::app::PanelWindow* window = nullptr;
    vp::panel::Form1* form = nullptr;
};

Line& Open() {
    static Line line = [] {
        static int argc = 1;
        static char name[] = "fuzz";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_LOGGING_RULES", "*.debug=false;qt.qpa.*=false");
        new QApplication(argc, argv);  // lives as long as the process
        Line l;
        l.master = posix_openpt(O_RDWR | O_NOCTTY);
        Require(l.master >= 0 && grantpt(l.master) == 0 && unlockpt(l.master) == 0);
        fcntl(l.master, F_SETFL, fcntl(l.master, F_GETFL) | O_NONBLOCK);
        const QString slave = QString::fromLocal8Bit(ptsname(l.master));
        l.panel = new vp::app::Panel({.ports = vp::link::PortNames{{3, slave}}});
        l.window = new vp::app::PanelWindow(*l.panel);
        l.form = &l.window->form();
        l.form->cmdConnect->click();
        Require(l.panel->link().PortOpen());
        // Nothing runs the event loop here, so no poll goes out; the timers stay idle.
        return l;
    }();
    return line;
}

// Reads what has arrived, waiting up to `ms` for a carriage return.
std::string ReadFrame(int master, int ms) {
    std::string got;
    pollfd p{master, POLLIN, 0};
    while (got.find('\r') == std::string::npos && poll(&p, 1, ms) > 0) {
        char buffer[256];
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Line& line = Open();
    vp::panel::Form1& form = *line.form;
    FuzzedDataProvider input(data, size);

    struct Box {
        vp::panel::TextBox* text;
        vp::panel::Button* send;
        const char* command;
    };
    const Box boxes[] = {{form.txtTMPspeed, form.cmdTMPspeed, "034_"},
                         {form.txtGlowDischargeSpeed, form.cmdGlowDischargeSpeed, "036_"},
                         {form.txtHighVacuumSpeed, form.cmdHighVacuumSpeed, "037_"}};
    const Box& box = boxes[input.ConsumeIntegralInRange<int>(0, 2)];
    const bool utf8 = input.ConsumeBool();
    const std::string typed = input.ConsumeRemainingBytesAsString();
    const QString text =
        utf8 ? QString::fromUtf8(typed.data(), static_cast<qsizetype>(typed.size()))
             : QString::fromLatin1(typed.data(), static_cast<qsizetype>(typed.size()));
    box.text->setText(text);
    box.text->SetBackColor(vp::panel::kYellow);  // neither verdict, so the click must give one
    box.send->click();

    const auto verdict = box.text->BackColor();
    Require(verdict == vp::panel::kWhite || verdict == vp::panel::kRed);
    if (verdict == vp::panel::kRed) {
        // A refused value sends nothing; anything that did go out shows up below, next time.
        return 0;
    }
    const std::string frame = ReadFrame(line.master, 2000);
    // body "0NN_VVV", three checksum digits, CR: and nothing else on the line.
    Require(frame.size() == 11 && frame.back() == '\r' && frame.compare(0, 4, box.command) == 0);
    const std::string digits = frame.substr(4, 3);
    for (char c : digits) Require(c >= '0' && c <= '9');
    const int value = std::stoi(digits);
    Require(value >= 20 && value <= 100);
    Require(text.size() >= 1 && text.size() <= 3);
    return 0;
}
