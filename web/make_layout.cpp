// SPDX-License-Identifier: MIT
// Writes the page's layout from the window's layout tables, so that a change of the window changes
// the page: every control with its place in pixels and its colours as the window shows them, and
// which controls the plant's messages write. Usage: make_layout OUTPUT.js
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

#include "panel/colours.h"
#include "panel/form1_layout.h"
#include "panel/units.h"
#include "state/panel_state.h"

namespace {

using vp::panel::LaidOutControl;
using vp::panel::ScreenColour;
using vp::panel::TwipsToPixels;

QString Hex(vp::state::ColourValue value) {
    return ScreenColour(value).name();  // #rrggbb
}

const char* TypeName(LaidOutControl::Type type) {
    switch (type) {
        case LaidOutControl::Type::Shape:
            return "shape";
        case LaidOutControl::Type::Line:
            return "line";
        case LaidOutControl::Type::Label:
            return "label";
        case LaidOutControl::Type::TextBox:
            return "textbox";
        case LaidOutControl::Type::Button:
            return "button";
        case LaidOutControl::Type::ListBox:
            return "list";
        case LaidOutControl::Type::ComboBox:
            return "combo";
        case LaidOutControl::Type::Frame:
            return "frame";
    }
    return "";
}

const char* ShapeName(vp::panel::Shape::Kind kind) {
    switch (kind) {
        case vp::panel::Shape::Kind::Oval:
            return "oval";
        case vp::panel::Shape::Kind::Circle:
            return "circle";
        case vp::panel::Shape::Kind::Rectangle:
            break;
    }
    return "rectangle";
}

QJsonObject Control(const LaidOutControl& c) {
    QJsonObject o{{"type", TypeName(c.type)},    {"name", c.name},
                  {"x", TwipsToPixels(c.left)},  {"y", TwipsToPixels(c.top)},
                  {"w", TwipsToPixels(c.width)}, {"h", TwipsToPixels(c.height)}};
    if (*c.caption) o["caption"] = QString::fromLatin1(c.caption);
    if (c.type == LaidOutControl::Type::Shape) o["shape"] = ShapeName(c.shape);
    if (c.hasColour) o["colour"] = Hex(c.colour);
    if (c.centred) o["centred"] = true;
    if (c.transparent) o["transparent"] = true;
    if (c.wraps) o["wraps"] = true;
    if (c.bold) o["bold"] = true;
    if (c.large) o["large"] = true;
    return o;
}

template <typename Id, std::size_t Count>
QJsonArray Names(std::size_t count = Count) {
    QJsonArray names;
    for (std::size_t i = 0; i < count; ++i) names.append(vp::state::Name(static_cast<Id>(i)));
    return names;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_layout OUTPUT.js\n");
        return 2;
    }
    using namespace vp::state;
    QJsonArray controls;
    for (const LaidOutControl& c : vp::panel::LaidOutControls()) controls.append(Control(c));
    // The two system colours a fill may hold, as the window shows them.
    const QJsonObject systemColours{{QString::number(kGreyText), Hex(kGreyText)},
                                    {QString::number(kMenuColour), Hex(kMenuColour)}};
    const QJsonObject layout{
        {"width", TwipsToPixels(vp::panel::kClientWidth)},
        {"height", TwipsToPixels(vp::panel::kClientHeight)},
        {"grey", Hex(kGreyText)},
        {"systemColours", systemColours},
        {"indicators", Names<Fill, kFillCount>(kIndicatorCount)},
        {"fills", Names<Fill, kFillCount>()},
        {"texts", Names<Text, kTextCount>()},
        {"lists", Names<List, kListCount>()},
        {"controls", controls},
    };
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "make_layout: cannot write %s\n", argv[1]);
        return 1;
    }
    // A classic script: the broker serves files without a content type, so no modules and no
    // fetched JSON of a type the browser must guess.
    out.write(
        "// Made from the window's layout tables at build time; edit those, not this.\n"
        "var VP_LAYOUT = ");
    out.write(QJsonDocument(layout).toJson(QJsonDocument::Compact));
    out.write(";\n");
    return out.error() == QFileDevice::NoError && out.flush() ? 0 : 1;
}
