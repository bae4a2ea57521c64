// SPDX-License-Identifier: MIT
// The page's layout is written from the same tables the window is built from: every control the
// window creates is described, at the place the window puts it, and nothing else is.
#include <QtTest>
#include <set>

#include "link/link.h"
#include "panel/form1.h"
#include "panel/form1_layout.h"
#include "panel/units.h"
#include "state/panel_state.h"

using vp::panel::LaidOutControl;
using vp::panel::TwipsToPixels;

class TestPageLayout : public QObject {
    Q_OBJECT

private slots:
    void everyControlAtTheWindowsPlace();
};

void TestPageLayout::everyControlAtTheWindowsPlace() {
    vp::state::PanelState state;
    vp::link::Link link{{}};
    vp::panel::Form1 form(link, state);
    QWidget* surface = form.surface();

    std::set<QString> described;
    for (const LaidOutControl& c : vp::panel::LaidOutControls()) {
        const QString name = QString::fromLatin1(c.name);
        QVERIFY2(described.insert(name).second, qPrintable(name + " described twice"));
        auto* widget = form.findChild<QWidget*>(name);
        QVERIFY2(widget, qPrintable(name + " is not on the window"));
        if (c.type == LaidOutControl::Type::Line) {
            auto* line = qobject_cast<vp::panel::Line*>(widget);
            QVERIFY(line);
            QCOMPARE(line->From(), QPoint(TwipsToPixels(c.left), TwipsToPixels(c.top)));
            QCOMPARE(line->To(),
                     QPoint(TwipsToPixels(c.left + c.width), TwipsToPixels(c.top + c.height)));
            continue;
        }
        // A caption that fits grows from its corner; everything else keeps the drawn box.
        const QRect drawn(widget->mapTo(surface, QPoint(0, 0)), widget->size());
        QCOMPARE(drawn.topLeft(), QPoint(TwipsToPixels(c.left), TwipsToPixels(c.top)));
        if (c.type != LaidOutControl::Type::Label)
            QCOMPARE(drawn.size(), QSize(TwipsToPixels(c.width), TwipsToPixels(c.height)));
    }
    // Every control of the diagram and the status frame, and so every control the state names.
    for (QWidget* parent : {surface, static_cast<QWidget*>(form.Frame1)})
        for (QObject* child : parent->children())
            if (child->isWidgetType() && !child->objectName().isEmpty())
                QVERIFY2(described.count(child->objectName()),
                         qPrintable(child->objectName() + " is on the window, not in the layout"));
    for (std::size_t i = 0; i < vp::state::kFillCount; ++i)
        QVERIFY(described.count(vp::state::Name(static_cast<vp::state::Fill>(i))));
    for (std::size_t i = 0; i < vp::state::kTextCount; ++i)
        QVERIFY(described.count(vp::state::Name(static_cast<vp::state::Text>(i))));
}

QTEST_MAIN(TestPageLayout)
#include "tst_page_layout.moc"
