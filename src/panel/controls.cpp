// SPDX-License-Identifier: MIT
#include "panel/controls.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "panel/units.h"

namespace vp::panel {

Shape::Shape(Kind kind, ColourValue fill, QWidget* parent)
    : QWidget(parent), kind_(kind), fill_(fill) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // A rectangle's border and fill cover every pixel of its box: what lies beneath (a frame, the
    // window) need not be painted again when it changes colour, as the lamps do all the time.
    setAttribute(Qt::WA_OpaquePaintEvent, kind == Kind::Rectangle);
}

void Shape::SetFillColor(ColourValue value) {
    if (value == fill_) return;
    fill_ = value;
    update();
}

void Shape::SetTwipsGeometry(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    setGeometry(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                TwipsToPixels(height));
}

namespace {
// What the window paints where nothing else stands: its own colour.
QColor WindowColour(const QWidget& widget) {
    const QWidget* window = widget.window();
    return window->palette().color(window->backgroundRole());
}
}  // namespace

void Shape::Draw(QPainter& painter) const {
    painter.setRenderHint(QPainter::Antialiasing, kind_ != Kind::Rectangle);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(ScreenColour(fill_));
    QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    switch (kind_) {
        case Kind::Rectangle:
            painter.drawRect(box);
            break;
        case Kind::Oval:
            painter.drawEllipse(box);
            break;
        case Kind::Circle: {
            // A circle keeps its roundness in a box that is not square: the largest one, centred.
            const qreal d = std::min(box.width(), box.height());
            painter.drawEllipse(QRectF(box.center().x() - d / 2, box.center().y() - d / 2, d, d));
            break;
        }
    }
}

void Shape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Draw(painter);
}

Line::Line(QPoint from, QPoint to, QWidget* parent) : QWidget(parent), from_(from), to_(to) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // The box spans both end points, whichever way the pipe is drawn: a rectangle made from two
    // corners and normalized would lose a pixel at an inverted edge.
    setGeometry(QRect::span(from, to));
}

void Line::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(from_ - pos(), to_ - pos());
}

namespace {
// Qt draws a lone LF as a break; a CR would show as a box.
QString DisplayText(const QString& caption) {
    QString text = caption;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}
}  // namespace

Label::Label(const QString& caption, unsigned look, ColourValue background, QWidget* parent)
    : QLabel(parent), caption_(caption), look_(look) {
    setTextFormat(Qt::PlainText);
    setText(DisplayText(caption));
    // A press on a caption belongs to the caption alone: falling through to the window surface
    // would open a component's menu a second time, or open one from a label that grazes a shape
    // (lbl3V1status over the edge of 3V1).
    setAttribute(Qt::WA_NoMousePropagation);
    setAlignment((look & Centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
    // Without "fits" a caption breaks at blanks within the width; "fits" alone keeps one line.
    setWordWrap(!(look & Fits) || (look & Wraps));
    if (look & Bold) {
        QFont f = font();
        f.setBold(true);
        setFont(f);
    }
    if (look & Transparent) {
        setAttribute(Qt::WA_TranslucentBackground);
        setAutoFillBackground(false);
    } else if (background != 0) {
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, ScreenColour(background));
        setPalette(p);
    }
    // Opaque labels without a colour of their own stand on a surface of the window's colour,
    // which the toolkit paints already (a frame's tinted panel included).
}

void Label::SetCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    setText(DisplayText(caption));
    if (look_ & Fits) FitToCaption();
}

void Label::GrowToCaption() {
    if (!(look_ & Fits)) return;
    const QSize fitted = Fitted();
    if (look_ & Wraps ? fitted.height() > height() : fitted.width() > width()) FitToCaption();
}

QSize Label::Fitted() const {
    return look_ & Wraps ? QSize(width(), std::max(1, heightForWidth(width()))) : sizeHint();
}

void Label::FitToCaption() {
    const QSize fitted = Fitted();
    // A resize, even to the same size, has the window work out again which of its controls hide
    // what lies beneath them: a counter that counts on in the same width must not cost that.
    if (fitted != size()) resize(fitted);
}

void Label::mousePressEvent(QMouseEvent* event) {
    emit MouseDown(event->button());
    QLabel::mousePressEvent(event);
}

TextBox::TextBox(QWidget* parent) : QLineEdit(parent) {
    SetBackColor(kWhite);
}

void TextBox::SetBackColor(ColourValue value) {
    back_ = value;
    QPalette p = palette();
    p.setColor(QPalette::Base, ScreenColour(value));
    setPalette(p);
}

Frame::Frame(const QString& title, QWidget* parent) : QGroupBox(title, parent) {
    // Every pixel comes from the kept look, the window's colour included.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool Frame::LookIsCurrent() const {
    return !drawn_.isNull() && drawn_.size() == size() * devicePixelRatio() &&
           drawnTitle_ == title();
}

void Frame::paintEvent(QPaintEvent* event) {
    if (drawing_) {
        QGroupBox::paintEvent(event);
        return;
    }
    if (LookIsCurrent()) {
        QPainter(this).drawPixmap(0, 0, drawn_);
        return;
    }
    // Drawn the long way this once; the look is kept once this paint (or a grab of the window
    // that asked for it) is over, as drawing it means painting the frame anew.
    QPainter(this).fillRect(rect(), WindowColour(*this));  // the frame stands on the bare window
    QGroupBox::paintEvent(event);
    if (!rebuildQueued_) {
        rebuildQueued_ = true;
        QMetaObject::invokeMethod(this, &Frame::KeepLook, Qt::QueuedConnection);
    }
}

void Frame::KeepLook() {
    rebuildQueued_ = false;
    if (LookIsCurrent()) return;
    QPixmap look(size() * devicePixelRatio());
    look.setDevicePixelRatio(devicePixelRatio());
    look.fill(WindowColour(*this));
    drawing_ = true;
    render(&look, QPoint(), QRegion(), {});
    drawing_ = false;
    drawn_ = look;
    drawnTitle_ = title();
}

void Frame::changeEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::PaletteChange:
        case QEvent::FontChange:
        case QEvent::StyleChange:
        case QEvent::EnabledChange:
        case QEvent::ActivationChange:
        case QEvent::LayoutDirectionChange:
            drawn_ = QPixmap();
            break;
        default:
            break;
    }
    QGroupBox::changeEvent(event);
}

void Frame::resizeEvent(QResizeEvent* event) {
    drawn_ = QPixmap();
    QGroupBox::resizeEvent(event);
}

void Surface::mousePressEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    emit MouseDown(event->button(), PixelsToTwips(at.x()), PixelsToTwips(at.y()));
    QWidget::mousePressEvent(event);
}

}  // namespace vp::panel
