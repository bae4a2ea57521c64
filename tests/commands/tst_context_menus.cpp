// Right-button presses on the diagram: which component's menu opens, from the shapes' hit
// rectangles and from the labels standing on them, and what the chosen entry sends.
#include <QtTest>
#include <set>

#include "panel/units.h"
#include "support/panel_on_pty.h"

using vp::panel::Label;
using vp::panel::Shape;
using vp::panel::TwipsToPixels;

namespace {

struct Component {
    const char* shape;
    const char* menu;
};

// clang-format off
const Component kComponents[] = {
    {"shpTMP1", "mnuTmp1"}, {"shpTMP2", "mnuTmp2"}, {"shpRotary", "mnuRotary"}, {"shp1V1", "mnu1V1"},
    {"shp2V1", "mnu2V1"}, {"shp3V1", "mnu3V1"}, {"shp1V3", "mnu1V3"}, {"shpTG1", "mnuTG1"},
    {"shp1G1", "mnu1G1"}, {"shp2G1", "mnu2G1"}, {"shpTMPCooling", "mnuChiller"},
};
// clang-format on

// A right-button press on a label (or, without one, on the surface at x, y) and the entry chosen.
struct Choice {
    QString onLabel;
    int x, y;
    QString entry, menu;
    QByteArray frame;
};

}  // namespace

Q_DECLARE_METATYPE(Choice)

class TestContextMenus : public QObject {
    Q_OBJECT

private slots:
    void init() {
        panel = std::make_unique<PanelOnPty>();
        opened.clear();
        choose.clear();
        // Stands in for the pop-up: notes the menu and, like the operator, picks an entry.
        panel->form->contextMenus().PopupMenu = [this](QMenu* menu) {
            opened << menu->objectName();
            for (QAction* entry : menu->actions())
                if (entry->objectName() == choose) entry->trigger();
        };
        QVERIFY(panel->Show());
    }
    void cleanup() { panel.reset(); }

    void hitRectangleIsOpenOnAllSides() {
        for (const Component& c : kComponents) {
            const Shape* s = shape(c.shape);
            QVERIFY2(s, c.shape);
            const float left = s->Left(), top = s->Top();
            const float right = left + s->Width(), bottom = top + s->Height();
            const float midX = (left + right) / 2, midY = (top + bottom) / 2;
            opened.clear();
            // Inside, the corners count (an oval's too); the rectangle's own edges belong to no
            // one.
            for (auto [x, y] : {std::pair{left + 1, top + 1},
                                {midX, midY},
                                {right - 1, bottom - 1},
                                {left, midY},
                                {right, midY},
                                {midX, top},
                                {midX, bottom}})
                Press(Qt::RightButton, x, y);
            QCOMPARE(opened, QStringList(3, c.menu));
        }
    }

    void hitAreaFollowsTheShape() {
        Shape* tmp1 = shape("shpTMP1");
        tmp1->SetTwipsGeometry(9000, 2000, 300, 300);
        Press(Qt::RightButton, 2401, 2281);
        QVERIFY(opened.isEmpty());
        Press(Qt::RightButton, 9150, 2150);
        QCOMPARE(opened, QStringList{"mnuTmp1"});
    }

    void onlyTheRightButtonOpens() {
        // Low on TMP1, clear of its labels: the press lands on the surface itself.
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton, Qt::RightButton}) {
            Click(button, 2880, 3690);
            Press(button, 2880, 3690);
        }
        QCOMPARE(opened, (QStringList{"mnuTmp1", "mnuTmp1"}));
    }

    void hitRectanglesDoNotOverlap() {
        const auto rect = [this](const char* name) {
            const Shape* s = shape(name);
            return QRectF(s->Left(), s->Top(), s->Width(), s->Height());
        };
        for (const Component& a : kComponents)
            for (const Component& b : kComponents)
                QVERIFY2(&a == &b || !rect(a.shape).intersects(rect(b.shape)), a.shape);
    }

    // Real right clicks over the whole client area, each delivered by the window to whatever
    // stands there (shape, label, line or bare surface): a menu opens only over its component, or
    // a label standing on it; never "Branch 1", "Branch 2" or "Mode", nor over valves, gauges or
    // lines without a menu; and each component's menu opens somewhere.
    void wholeSurfaceOpensOnlyComponentMenus() {
        QWidget* surface = panel->form->surface();
        QWindow* window = panel->form->windowHandle();
        std::set<QString> reached;
        for (int py = 1; py < surface->height(); py += 3) {
            for (int px = 1; px < surface->width(); px += 3) {
                opened.clear();
                const QPoint at(px, py);
                QTest::mouseClick(window, Qt::RightButton, {}, surface->mapTo(panel->form, at));
                if (opened.isEmpty()) continue;
                QWidget* under = surface->childAt(at);
                const QRect pressed = under ? under->geometry() : QRect(at, QSize(1, 1));
                const Component* c = Owner(opened.first());
                QVERIFY2(opened.size() == 1 && c &&
                             shape(c->shape)->geometry().adjusted(-1, -1, 1, 1).intersects(pressed),
                         qPrintable(
                             QStringLiteral("%1 at %2,%3").arg(opened.join(',')).arg(px).arg(py)));
                reached.insert(opened.first());
            }
        }
        QCOMPARE(reached.size(), std::size(kComponents));
    }

    // Every label on the diagram, pressed with each button: only the right one opens a menu, once
    // (the press must not also reach the surface underneath), and only the menu of a component
    // the label stands on; between them the labels reach every component's menu.
    void labelOpensItsComponentMenu() {
        std::set<QString> reached;
        for (Label* l : panel->form->surface()->findChildren<Label*>(Qt::FindDirectChildrenOnly)) {
            opened.clear();
            for (Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton, Qt::RightButton})
                QTest::mouseClick(l, button);
            QVERIFY2(opened.size() <= 1, qPrintable(l->objectName()));
            if (opened.isEmpty()) continue;
            const Component* owner = Owner(opened.first());
            QVERIFY2(owner && shape(owner->shape)->geometry().intersects(l->geometry()),
                     qPrintable(l->objectName()));
            reached.insert(opened.first());
        }
        QCOMPARE(reached.size(), std::size(kComponents));
    }

    void statusLabelsOpenOnlyTheirComponentsMenu() {
        label("lbl1V1status")->SetCaption("open");
        label("lblRotaryStatus")->SetCaption("tripped");
        QTest::mouseClick(label("lbl1V1status"), Qt::RightButton);
        QTest::mouseClick(label("lblRotaryStatus"), Qt::RightButton);
        QCOMPARE(opened, (QStringList{"mnu1V1", "mnuRotary"}));

        // The label's left edge lies over the last twips of valve 3V1's rectangle: a press there on
        // the bare surface would open "3V1", a press on the label opens nothing.
        Label* status = label("lbl3V1status");
        const QPoint onLabel(0, status->height() / 2);
        const QPoint onSurface = status->mapTo(panel->form->surface(), onLabel);
        opened.clear();
        Press(Qt::RightButton, onSurface.x() * 15.0f, onSurface.y() * 15.0f);
        QCOMPARE(opened, QStringList{"mnu3V1"});

        opened.clear();
        QTest::mouseClick(status, Qt::RightButton, {}, onLabel);
        QTest::mouseClick(status, Qt::RightButton);
        QVERIFY2(opened.isEmpty(), qPrintable(opened.join(',')));
    }

    void chosenEntrySendsItsFrame_data() {
        QTest::addColumn<Choice>("choice");
        // clang-format off
        QTest::newRow("TMP2 switched off") << Choice{"", 7440, 3700, "mnuTmp2Off", "mnuTmp2", "083_250\r"};
        QTest::newRow("TG1 degassed") << Choice{"", 4800, 900, "mnuTG1_degas", "mnuTG1", "101_241\r"};
        QTest::newRow("chiller started from its label") << Choice{"Label13", 0, 0, "mnuChillerStart", "mnuChiller", "084_251\r"};
        QTest::newRow("3V1 opened from its label") << Choice{"lbl3V1", 0, 0, "mnu3V1Open", "mnu3V1", "060_245\r"};
        // clang-format on
    }

    void chosenEntrySendsItsFrame() {
        QFETCH(Choice, choice);
        QVERIFY(panel->Open());
        choose = choice.entry;
        if (choice.onLabel.isEmpty())
            Click(Qt::RightButton, choice.x, choice.y);
        else
            QTest::mouseClick(label(choice.onLabel), Qt::RightButton);
        QCOMPARE(opened, QStringList{choice.menu});
        QTRY_COMPARE_WITH_TIMEOUT(panel->pty.Received(), choice.frame, 2000);
        QCOMPARE(panel->Sent(), 1);
    }

private:
    static const Component* Owner(const QString& menu) {
        for (const Component& c : kComponents)
            if (c.menu == menu) return &c;
        return nullptr;
    }
    Shape* shape(const QString& name) { return panel->form->findChild<Shape*>(name); }
    Label* label(const QString& name) { return panel->form->findChild<Label*>(name); }
    void Press(Qt::MouseButton button, float x, float y) {
        panel->form->contextMenus().Form_MouseDown(button, x, y);
    }
    // A real press on the window surface at a point given in twips.
    void Click(Qt::MouseButton button, int x, int y) {
        QTest::mouseClick(panel->form->surface(), button, {},
                          QPoint(TwipsToPixels(x), TwipsToPixels(y)));
    }

    std::unique_ptr<PanelOnPty> panel;
    QStringList opened;
    QString choose;
};

QTEST_MAIN(TestContextMenus)
#include "tst_context_menus.moc"
