// SPDX-License-Identifier: MIT
// A caption shows as a toolkit label given the text a reader sees (CR LF a line break, a lone CR
// a blank), and a fits label takes that label's size; the frame painted from its kept look is a
// group box; a lamp covers its box.
#include <QGroupBox>
#include <QtTest>

#include "app/panel.h"
#include "app/window_system.h"
#include "panel/form1.h"
#include "support/windowed_panel.h"

using vp::app::Panel;
using vp::panel::Form1;
using vp::panel::Label;
using vp::panel::Shape;

namespace {
// The text in the toolkit's own label, set up as the window's label is.
QImage AsToolkitLabel(const Label& label, const QString& text) {
    QLabel twin;
    twin.setTextFormat(Qt::PlainText);
    twin.setText(text);
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

    void captionsShowAsAToolkitLabel_data();
    void captionsShowAsAToolkitLabel();
    void frameLooksAsAGroupBox();
    void rectangleCoversItsBox();

private:
    std::unique_ptr<WindowedPanel> panel;
    Form1* form = nullptr;
};

void TestControls::captionsShowAsAToolkitLabel_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("shown");
    QTest::newRow("a counter") << "12345 sent messages"
                               << "12345 sent messages";
    QTest::newRow("trailing blanks") << "P@TG1 <  "
                                     << "P@TG1 <  ";
    QTest::newRow("two lines") << "first\r\nsecond line"
                               << "first\nsecond line";
    QTest::newRow("lone CR") << "first\rsecond"
                             << "first second";
    QTest::newRow("too long for its box")
        << "a caption far too long for any box on this window, wrapped or not, so that it runs "
           "past the bottom or the edge"
        << "a caption far too long for any box on this window, wrapped or not, so that it runs "
           "past the bottom or the edge";
    QTest::newRow("tab and blank lines") << "a\tb\r\n\r\nc"
                                         << "a\tb\n\nc";
}

void TestControls::captionsShowAsAToolkitLabel() {
    QFETCH(QString, caption);
    QFETCH(QString, shown);
    const QList<Label*> labels = form->findChildren<Label*>();
    QVERIFY(labels.size() > 50);
    for (Label* label : labels) {
        const QPoint at = label->pos();
        label->SetCaption(caption);
        QCOMPARE(label->Caption(), caption);
        const QByteArray what = label->objectName().toUtf8();
        // A fits label holds its whole caption, from where it was laid out.
        if (label->look() & Label::Fits) {
            QLabel twin(shown);
            twin.setFont(label->font());
            twin.setWordWrap(label->wordWrap());
            const QSize fitted =
                label->look() & Label::Wraps
                    ? QSize(label->width(), std::max(1, twin.heightForWidth(label->width())))
                    : twin.sizeHint();
            QVERIFY2(label->size() == fitted, what.constData());
            QVERIFY2(label->pos() == at, what.constData());
        }
        QVERIFY2(Shown(*label) == AsToolkitLabel(*label, shown), what.constData());
    }
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

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
