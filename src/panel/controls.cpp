// SPDX-License-Identifier: MIT
#include "panel/controls.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <vector>

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
    drawn_ = QPixmap();
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

// The part of the box where only the bare window lies beneath: there the kept look, drawn on the
// window's colour, gives the very pixels drawing would.
QRegion Shape::OnBareWindow() const {
    if (!qobject_cast<const Surface*>(parentWidget())) return {};
    QRegion bare(geometry());
    for (const QObject* sibling : parentWidget()->children()) {
        if (sibling == this) break;  // the rest stand above
        const auto* below = qobject_cast<const QWidget*>(sibling);
        if (below && !below->isHidden() && below->geometry().intersects(geometry()))
            bare -= below->geometry();
    }
    return bare.translated(-pos());
}

// Keeps the look on the window's colour, and where in it the shape alone decides the pixel: drawn
// on black and on white alike (the fill and the inner part of the outline). Blending grows with
// what lies beneath, so a pixel equal on both is the same on anything. The rest, the outer edge,
// blends with what lies beneath.
void Shape::KeepLook() {
    const qreal ratio = devicePixelRatio();
    QPixmap look(size() * ratio);
    look.setDevicePixelRatio(ratio);
    look.fill(WindowColour(*this));
    QPainter on(&look);
    Draw(on);
    on.end();
    drawn_ = look;
    solid_ = QRegion();
    if (ratio != 1) return;
    auto drawnOn = [this](Qt::GlobalColor beneath) {
        QImage image(size(), QImage::Format_RGB32);
        image.fill(beneath);
        QPainter painter(&image);
        Draw(painter);
        return image;
    };
    const QImage onBlack = drawnOn(Qt::black);
    const QImage onWhite = drawnOn(Qt::white);
    QList<QRect> runs;
    for (int y = 0; y < height(); ++y) {
        const auto* black = reinterpret_cast<const QRgb*>(onBlack.constScanLine(y));
        const auto* white = reinterpret_cast<const QRgb*>(onWhite.constScanLine(y));
        for (int x = 0; x < width();) {
            if (black[x] != white[x]) {
                ++x;
                continue;
            }
            const int from = x;
            while (x < width() && black[x] == white[x]) ++x;
            runs.append(QRect(from, y, x - from, 1));
        }
    }
    solid_.setRects(runs.constData(), static_cast<int>(runs.size()));
}

void Shape::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (kind_ == Kind::Rectangle) {
        Draw(painter);
        return;
    }
    if (drawn_.isNull()) KeepLook();
    const QRegion kept = (event->region() & solid_) | (event->region() & OnBareWindow());
    if (!kept.isEmpty()) {
        painter.setClipRegion(kept);
        painter.drawPixmap(0, 0, drawn_);
    }
    const QRegion drawn = event->region() - kept;
    if (drawn.isEmpty()) return;
    painter.setClipRegion(drawn);
    Draw(painter);
}

void Shape::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) drawn_ = QPixmap();
    QWidget::changeEvent(event);
}

void Shape::resizeEvent(QResizeEvent* event) {
    drawn_ = QPixmap();
    QWidget::resizeEvent(event);
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

// A caption laid out once, as the toolkit lays out a plain label's text on every paint: the same
// line breaks, line positions, alignment and clipping, so the same pixels.
struct Label::LaidOut {
    LaidOut(const QString& text, const QRect& box, const QFont& font, const QPaintDevice* device)
        : text(text), box(box), layout(Shown(text), font, device) {}

    // What a label draws for its text: CR as a blank, LF as a line break.
    static QString Shown(QString text) {
        for (QChar& c : text) {
            if (c == u'\r')
                c = u' ';
            else if (c == u'\n')
                c = QChar::LineSeparator;
        }
        return text;
    }

    QString text;
    QRect box;
    QTextLayout layout;
    qreal width = 0;               // of the widest line
    qreal height = 0;              // of the lines laid out
    std::vector<QPointF> origins;  // one a line
    bool clip = false;
};

Label::~Label() = default;

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
    // The glyphs on screen now, when this caption was drawn from a kept layout.
    const bool kept = isVisible() && updatesEnabled() && KeepsLayout() && laidOut_ &&
                      laidOut_->text == text() && laidOut_->box == contentsRect();
    const std::unique_ptr<LaidOut> before = kept ? std::move(laidOut_) : nullptr;
    // A new caption would repaint every glyph, and all beneath them; a counter or a pressure
    // changes one or two. Updates are held the way setUpdatesEnabled holds them, without the full
    // repaint it asks for when it lets them go.
    if (before) setAttribute(Qt::WA_UpdatesDisabled);
    setText(DisplayText(caption));
    if (before) setAttribute(Qt::WA_UpdatesDisabled, false);
    const QSize was = size();
    if (look_ & Fits) FitToCaption();
    if (!before) return;
    if (size() != was || !KeepsLayout()) {
        update();
        return;
    }
    update(Changed(*before, Layout(text(), contentsRect())));
}

void Label::GrowToCaption() {
    if (!(look_ & Fits)) return;
    const QSize fitted = Fitted();
    if (look_ & Wraps ? fitted.height() > height() : fitted.width() > width()) FitToCaption();
}

QSize Label::Fitted() {
    if (!KeepsLayout())
        return look_ & Wraps ? QSize(width(), std::max(1, heightForWidth(width()))) : sizeHint();
    // Laid out as the toolkit measures a label: every line, on a box that never cuts one off.
    const QRect box = contentsRect();
    const LaidOut& laid = Layout(text(), QRect(box.topLeft(), QSize(box.width(), kUncut)));
    const QSize margins = size() - box.size();
    if (look_ & Wraps)
        return {width(), std::max(1, static_cast<int>(std::ceil(laid.height)) + margins.height())};
    return QSize(static_cast<int>(std::ceil(laid.width)),
                 static_cast<int>(std::ceil(laid.height))) +
           margins;
}

void Label::FitToCaption() {
    const QSize fitted = Fitted();
    // A resize, even to the same size, has the window work out again which of its controls hide
    // what lies beneath them: a counter that counts on in the same width must not cost that.
    if (fitted != size()) resize(fitted);
    // Lines laid out in full stand where a box that holds them all would put them.
    if (laidOut_ && laidOut_->box.height() == kUncut && KeepsLayout())
        Place(*laidOut_, contentsRect());
}

// The plain case every caption of the window is: anything else paints as a label always did.
bool Label::KeepsLayout() const {
    return isEnabled() && textFormat() == Qt::PlainText && margin() == 0 && indent() <= 0 &&
           frameWidth() == 0 && !buddy() && !testAttribute(Qt::WA_StyleSheet) &&
           !text().isRightToLeft() && !text().contains(u'\t') && !text().contains(QChar(0x9c));
}

const Label::DrawnFont& Label::Drawn() {
    if (!drawnFont_) {
        const QFont font(this->font(), this);
        const QFontMetricsF metrics(font);
        // Ink may stand out of a glyph's advance; antialiasing reaches a pixel further.
        const qreal reach =
            std::max({0.0, -metrics.minLeftBearing(), -metrics.minRightBearing()}) + 1;
        drawnFont_ = DrawnFont{font, metrics.leading(), reach};
    }
    return *drawnFont_;
}

const Label::LaidOut& Label::Layout(const QString& text, const QRect& box) {
    if (laidOut_ && laidOut_->text == text && laidOut_->box == box) return *laidOut_;
    const DrawnFont& drawn = Drawn();
    laidOut_ = std::make_unique<LaidOut>(text, box, drawn.font, this);
    LaidOut& laid = *laidOut_;
    QTextOption option;
    option.setTextDirection(Qt::LeftToRight);
    option.setAlignment(Qt::AlignLeft);  // lines are placed below, not by the layout
    laid.layout.setTextOption(option);
    laid.layout.setCacheEnabled(true);

    const qreal leading = drawn.leading;
    const qreal lineWidth = wordWrap() ? std::max(0, box.width()) : qreal(0x01000000);
    laid.height = -leading;
    laid.layout.beginLayout();
    for (QTextLine line = laid.layout.createLine(); line.isValid();
         line = laid.layout.createLine()) {
        line.setLineWidth(lineWidth);
        laid.height = std::ceil(laid.height + leading);  // lines stand on whole pixels
        line.setPosition(QPointF(0, laid.height));
        laid.height += line.ascent() + line.descent();  // height() would round it up
        laid.width = std::max(laid.width, line.naturalTextWidth());
        if (laid.height >= box.height()) break;  // lines below the box are never seen
    }
    laid.layout.endLayout();
    Place(laid, box);
    return laid;
}

void Label::Place(LaidOut& laid, const QRect& box) const {
    laid.box = box;
    const Qt::Alignment align = QStyle::visualAlignment(Qt::LeftToRight, alignment());
    qreal top = 0;
    qreal left = 0;
    if (align & Qt::AlignBottom)
        top = box.height() - laid.height;
    else if (align & Qt::AlignVCenter)
        top = -qRound(-(box.height() - laid.height) / 2);
    if (align & Qt::AlignRight)
        left = box.width() - laid.width;
    else if (align & Qt::AlignHCenter)
        left = qRound((box.width() - laid.width) / 2);
    laid.clip =
        !QRectF(box).contains(QRectF(box.x() + left, box.y() + top, laid.width, laid.height));

    laid.origins.clear();
    for (int i = 0; i < laid.layout.lineCount(); ++i) {
        const qreal advance = laid.layout.lineAt(i).horizontalAdvance();
        qreal x = 0;
        if (align & Qt::AlignRight)
            x = box.width() - advance;
        else if (align & Qt::AlignHCenter)
            x = (box.width() - advance) / 2;
        laid.origins.emplace_back(box.x() + x, box.y() + top);
    }
}

// Where two one-line layouts of a caption differ: the characters between what stays in place at
// the start and at the end, one more either side (a neighbour may kern against them or join them),
// over the label's height; the whole of both lines when the line moved. Anything else, the whole
// label.
QRect Label::Changed(const LaidOut& before, const LaidOut& after) {
    const auto oneLatin1Line = [](const LaidOut& laid) {
        return laid.layout.lineCount() == 1 &&
               std::all_of(laid.text.begin(), laid.text.end(),
                           [](QChar c) { return c.unicode() <= 0xff; });
    };
    if (!oneLatin1Line(before) || !oneLatin1Line(after)) return rect();
    const QString& was = before.text;
    const QString& now = after.text;
    // Where a position of the caption stands on the line.
    const auto x = [](const LaidOut& laid, qsizetype at) {
        return laid.origins.front().x() + laid.layout.lineAt(0).cursorToX(static_cast<int>(at));
    };
    qsizetype head = 0;
    qsizetype tail = 0;
    if (before.origins.front() == after.origins.front()) {
        while (head < was.size() && head < now.size() && was[head] == now[head]) ++head;
        while (tail < was.size() - head && tail < now.size() - head &&
               was[was.size() - 1 - tail] == now[now.size() - 1 - tail])
            ++tail;
        // What follows the change stays in place only when the change kept its width.
        if (x(before, was.size() - tail) != x(after, now.size() - tail)) tail = 0;
        head = std::max<qsizetype>(0, head - 1);
        tail = std::max<qsizetype>(0, tail - 1);
    }
    const qreal reach = Drawn().reach;
    const qreal left = std::min(x(before, head), x(after, head));
    const qreal right = std::max(x(before, was.size() - tail), x(after, now.size() - tail));
    return QRectF(left - reach, 0, right - left + 2 * reach, height()).toAlignedRect() & rect();
}

void Label::paintEvent(QPaintEvent* event) {
    const QString shown = text();
    if (!KeepsLayout()) {
        laidOut_.reset();
        QLabel::paintEvent(event);
        return;
    }
    if (shown.isEmpty()) return;
    const LaidOut& laid = Layout(shown, contentsRect());
    QPainter painter(this);
    painter.setPen(QPen(palette().brush(foregroundRole()), painter.pen().widthF()));
    if (laid.clip) painter.setClipRect(laid.box, Qt::IntersectClip);
    for (int i = 0; i < laid.layout.lineCount(); ++i)
        laid.layout.lineAt(i).draw(&painter, laid.origins[static_cast<std::size_t>(i)]);
}

void Label::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        laidOut_.reset();
        drawnFont_.reset();
    }
    QLabel::changeEvent(event);
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
