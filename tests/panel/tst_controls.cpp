// SPDX-License-Identifier: MIT
// The window's own controls paint as the toolkit's would, pixel for pixel: captions drawn from a
// kept layout, the frame from its kept look, lamps that cover their box.
#include <QGroupBox>
#include <QPainter>
#include <QtTest>

#include "app/panel.h"
#include "app/window_system.h"
#include "panel/form1.h"
#include "panel/units.h"
#include "support/windowed_panel.h"

using vp::app::Panel;
using vp::panel::ColourValue;
using vp::panel::Form1;
using vp::panel::Label;
using vp::panel::Shape;

namespace {
// The same caption in the toolkit's own label, set up as the window's label is.
QImage AsToolkitLabel(const Label& label) {
    QLabel twin;
    twin.setTextFormat(Qt::PlainText);
    twin.setText(label.text());
    twin.setFont(label.font());
    twin.setPalette(label.palette());
    twin.setAlignment(label.alignment());
    twin.setWordWrap(label.wordWrap());
    twin.setAutoFillBackground(label.autoFillBackground());
    twin.setAttribute(Qt::WA_TranslucentBackground,
                      label.testAttribute(Qt::WA_TranslucentBackground));
    twin.resize(label.size());
    return twin.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage Shown(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}
}  // namespace

class TestControls : public QObject {
    Q_OBJECT

public:
    // Before the application object, as the panel's window program starts: on a real X server
    // this decides how repaints reach it.
    static void initMain() { vp::app::PrepareWindowSystem(); }

private slots:
    void init() {
        panel = std::make_unique<WindowedPanel>();
        form = &panel->form();
        form->show();
    }
    void cleanup() { panel.reset(); }

    void captionsPaintAsTheToolkitWould_data();
    void captionsPaintAsTheToolkitWould();
    void aChangedCaptionRepaintsAsAWholePaintWould_data();
    void aChangedCaptionRepaintsAsAWholePaintWould();
    void frameLooksAsAGroupBox();
    void rectangleCoversItsBox();
    void roundShapeLooksAsDrawn_data();
    void roundShapeLooksAsDrawn();

private:
    std::unique_ptr<WindowedPanel> panel;
    Form1* form = nullptr;
};

void TestControls::captionsPaintAsTheToolkitWould_data() {
    QTest::addColumn<QString>("caption");  // empty: the caption the window gives it
    QTest::newRow("as laid out") << QString();
    QTest::newRow("a new caption") << QStringLiteral("12345 sent messages");
    QTest::newRow("trailing blanks") << QStringLiteral("P@TG1 <  ");
    QTest::newRow("two lines") << QStringLiteral("first\r\nsecond line");
    QTest::newRow("too long for its box") << QStringLiteral(
        "a caption far too long for any box on this window, wrapped or not, "
        "so that it runs past the bottom or the edge");
    QTest::newRow("tab and blank lines") << QStringLiteral("a\tb\r\n\r\nc");
}

void TestControls::captionsPaintAsTheToolkitWould() {
    QFETCH(QString, caption);
    const QList<Label*> labels = form->findChildren<Label*>();
    QVERIFY(labels.size() > 50);
    for (Label* label : labels) {
        label->grab();  // a caption painted before keeps its layout: the new one must replace it
        if (!caption.isEmpty()) label->SetCaption(caption);
        const QByteArray what =
            (label->objectName() + QLatin1String(": ") + label->text()).toUtf8();
        // A fits label measures its caption itself: to the size the toolkit would give it.
        if (!caption.isEmpty() && label->look() & Label::Fits) {
            QLabel twin(label->text());
            twin.setFont(label->font());
            twin.setWordWrap(label->wordWrap());
            const QSize fitted =
                label->look() & Label::Wraps
                    ? QSize(label->width(), std::max(1, twin.heightForWidth(label->width())))
                    : twin.sizeHint();
            QVERIFY2(label->size() == fitted, what.constData());
        }
        QVERIFY2(Shown(*label) == AsToolkitLabel(*label), what.constData());
    }
}

void TestControls::aChangedCaptionRepaintsAsAWholePaintWould_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("one digit") << "1.23E-03"
                               << "1.24E-03";
    QTest::newRow("narrow to wide glyph") << "1"
                                          << "8";
    QTest::newRow("shorter") << "12345 sent"
                             << "9 sent";
    QTest::newRow("longer") << "9"
                            << "1234567890 received messages";
    QTest::newRow("two lines to one") << "first\r\nsecond"
                                      << "first";
    QTest::newRow("other line breaks") << "a caption long enough to wrap in a narrow box somewhere"
                                       << "a caption much longer than that, long enough to wrap";
    QTest::newRow("to nothing") << "gone"
                                << "";
    QTest::newRow("from nothing") << ""
                                  << "here";
}

void TestControls::aChangedCaptionRepaintsAsAWholePaintWould() {
    // A caption repaints only the glyphs that changed; what the screen then holds must be what a
    // paint of the whole window gives.
    QFETCH(QString, before);
    QFETCH(QString, after);
    QVERIFY(QTest::qWaitForWindowExposed(form));
    const QList<Label*> labels = form->findChildren<Label*>();
    for (Label* label : labels) label->SetCaption(before);
    QCoreApplication::processEvents();
    for (Label* label : labels) label->SetCaption(after);
    QCoreApplication::processEvents();
    const QImage screen = form->screen()->grabWindow(form->winId()).toImage();
    const QImage whole = form->grab().toImage();
    QCOMPARE(screen.convertToFormat(QImage::Format_RGB32),
             whole.convertToFormat(QImage::Format_RGB32));
}

void TestControls::frameLooksAsAGroupBox() {
    QGroupBox* frame = form->Frame1;
    for (const QString& title : {frame->title(), QStringLiteral("Another title")}) {
        frame->setTitle(title);
        QGroupBox twin(title);
        twin.setFont(frame->font());
        twin.setPalette(frame->palette());
        twin.resize(frame->size());
        QPixmap expected(frame->size());
        twin.render(&expected, {}, {}, QWidget::DrawWindowBackground);
        // Once drawn anew, once from the look it keeps.
        for (int paint = 0; paint < 2; ++paint) {
            QPixmap shown(frame->size());
            shown.fill(Qt::red);  // nothing of this may remain: the frame covers its box
            frame->render(&shown, {}, {}, {});
            QCOMPARE(shown.toImage().convertToFormat(QImage::Format_ARGB32),
                     expected.toImage().convertToFormat(QImage::Format_ARGB32));
            QCoreApplication::processEvents();
        }
    }
}

void TestControls::rectangleCoversItsBox() {
    // Nothing beneath a lamp is painted when it blinks, so its own paint has to cover every pixel.
    QWidget under;
    under.setAutoFillBackground(true);
    QPalette red = under.palette();
    red.setColor(QPalette::Window, Qt::red);
    under.setPalette(red);
    under.resize(200, 200);
    auto* lamp = new Shape(Shape::Kind::Rectangle, vp::panel::kGreen, &under);
    lamp->SetTwipsGeometry(300, 300, 1095, 405);
    const QImage image = under.grab().toImage();
    for (int y = lamp->y(); y <= lamp->geometry().bottom(); ++y)
        for (int x = lamp->x(); x <= lamp->geometry().right(); ++x)
            QVERIFY2(image.pixelColor(x, y) != QColor(Qt::red),
                     qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
}

void TestControls::roundShapeLooksAsDrawn_data() {
    QTest::addColumn<Shape::Kind>("kind");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("gauge") << Shape::Kind::Circle << 975 << 975;
    QTest::newRow("circle in a wide box") << Shape::Kind::Circle << 1200 << 700;
    QTest::newRow("valve") << Shape::Kind::Oval << 1215 << 495;
}

namespace {
// Stripes of colour beneath a shape, where pipes would run.
class Stripes : public QWidget {
public:
    using QWidget::QWidget;
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        for (int x = 0; x < width(); x += 3) painter.fillRect(x, 0, 1, height(), Qt::blue);
    }
};

// A shape drawn the plain way on every paint: an antialiased ellipse with a black outline.
class PlainShape : public QWidget {
public:
    PlainShape(const Shape& like, QWidget* parent) : QWidget(parent), like_(like) {}
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(vp::panel::ScreenColour(like_.FillColor()));
        QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        if (like_.kind() == Shape::Kind::Circle) {
            const qreal d = std::min(box.width(), box.height());
            box = QRectF(box.center().x() - d / 2, box.center().y() - d / 2, d, d);
        }
        painter.drawEllipse(box);
    }

private:
    const Shape& like_;
};
}  // namespace

void TestControls::roundShapeLooksAsDrawn() {
    // Beside each shape the same one drawn the plain way, on the bare window and over stripes:
    // the pixels must not differ, after a change of fill either.
    QFETCH(Shape::Kind, kind);
    QFETCH(int, width);
    QFETCH(int, height);
    QWidget window;
    window.resize(800, 200);
    auto* surface = new vp::panel::Surface(&window);
    surface->resize(window.size());
    std::vector<std::pair<Shape*, PlainShape*>> pairs;
    for (int over = 0; over < 2; ++over) {
        for (int plain = 0; plain < 2; ++plain) {
            const QRect box(
                QPoint(over * 400 + plain * 200, 20),
                QSize(vp::panel::TwipsToPixels(width), vp::panel::TwipsToPixels(height)));
            if (over) (new Stripes(surface))->setGeometry(box.adjusted(-5, -5, 5, 5));
            if (plain) {
                (new PlainShape(*pairs.back().first, surface))->setGeometry(box);
                pairs.back().second = static_cast<PlainShape*>(surface->children().last());
            } else {
                auto* shape = new Shape(kind, vp::panel::kWhite, surface);
                shape->setGeometry(box);
                pairs.emplace_back(shape, nullptr);
            }
        }
    }
    for (ColourValue fill : {vp::panel::kWhite, vp::panel::kGreen}) {
        for (auto& [shape, plain] : pairs) shape->SetFillColor(fill);
        for (int paint = 0; paint < 2; ++paint) {
            const QImage shown = Shown(window);
            for (auto& [shape, plain] : pairs)
                QCOMPARE(shown.copy(shape->geometry()), shown.copy(plain->geometry()));
        }
    }
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
