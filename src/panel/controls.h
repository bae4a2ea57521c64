// SPDX-License-Identifier: MIT
#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QWidget>
#include <memory>
#include <optional>

#include "panel/colours.h"

namespace vp::panel {

// A filled shape of the diagram. It holds its fill as the colour value the system speaks in, so
// tests read back the value, not pixels. Shapes take no mouse events: a press on one reaches
// the window surface, which hit-tests the component shapes itself.
class Shape : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Rectangle, Oval, Circle };

    Shape(Kind kind, ColourValue fill, QWidget* parent);

    Kind kind() const { return kind_; }
    ColourValue FillColor() const { return fill_; }
    void SetFillColor(ColourValue value);

    // Place and size in twips, as laid out; the pixel geometry follows from them.
    void SetTwipsGeometry(int left, int top, int width, int height);
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

protected:
    // A round shape keeps its drawn look: a pressure caption on a gauge changes with every poll,
    // and each change would draw the whole antialiased outline again beneath it.
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Draw(QPainter& painter) const;
    QRegion OnBareWindow() const;
    void KeepLook();

    Kind kind_;
    ColourValue fill_;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    QPixmap drawn_;  // round shapes: the look on the window's colour; null when stale
    QRegion solid_;  // where that look holds whatever lies beneath
};

// A pipe of the diagram: one pixel wide, drawn between two points; no mouse events.
class Line : public QWidget {
    Q_OBJECT
public:
    Line(QPoint from, QPoint to, QWidget* parent);

    QPoint From() const { return from_; }
    QPoint To() const { return to_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPoint from_;
    QPoint to_;
};

// A caption on the window. Fits labels take the size of their caption whenever it changes,
// keeping Left and Top (wrapping ones keep their width and grow in height).
class Label : public QLabel {
    Q_OBJECT
public:
    enum Look : unsigned {
        Plain = 0,
        Centred = 1u << 0,
        Transparent = 1u << 1,
        Fits = 1u << 2,
        Wraps = 1u << 3,
        Bold = 1u << 4,
    };

    Label(const QString& caption, unsigned look, ColourValue background, QWidget* parent);
    ~Label() override;

    // The caption as written, line breaks as CR LF.
    const QString& Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    unsigned look() const { return look_; }

    // A fits label whose drawn box is too small for its caption in this font grows to hold it.
    void GrowToCaption();

signals:
    void MouseDown(Qt::MouseButton button);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    // Paints the caption from its kept layout: the same glyphs where the toolkit would have laid
    // the text out again, for every paint of a caption that did not change.
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct LaidOut;

    // Taller than any window: a box that cuts no line off.
    static constexpr int kUncut = 0x100000;

    // The font as this label draws it, found and measured once: finding it again for every
    // caption costs more than laying the caption out.
    struct DrawnFont {
        QFont font;
        qreal leading;
        qreal reach;  // how far ink may stand out of a glyph's advance, antialiasing included
    };
    const DrawnFont& Drawn();

    QSize Fitted();
    void FitToCaption();
    bool KeepsLayout() const;
    const LaidOut& Layout(const QString& text, const QRect& box);
    void Place(LaidOut& laid, const QRect& box) const;
    QRect Changed(const LaidOut& before, const LaidOut& after);

    QString caption_;
    unsigned look_;
    std::unique_ptr<LaidOut> laidOut_;
    std::optional<DrawnFont> drawnFont_;
};

// A one-line text box whose background colour is the only feedback of a set-point.
class TextBox : public QLineEdit {
public:
    explicit TextBox(QWidget* parent);

    ColourValue BackColor() const { return back_; }
    void SetBackColor(ColourValue value);

private:
    ColourValue back_ = kWhite;
};

// A titled frame around controls. Its border and title never change while the controls on it
// (counters, lamps) change with every poll, and each change repaints the frame beneath them: it
// keeps its drawn look, on the window's colour it stands on, and repaints from that.
class Frame : public QGroupBox {
    Q_OBJECT
public:
    Frame(const QString& title, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool LookIsCurrent() const;
    void KeepLook();

    QPixmap drawn_;
    QString drawnTitle_;
    bool drawing_ = false;
    bool rebuildQueued_ = false;
};

// The window's client area: presses that no control takes arrive here, in twips.
class Surface : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

signals:
    void MouseDown(Qt::MouseButton button, float xTwips, float yTwips);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

using ListBox = QListWidget;
using ComboBox = QComboBox;
using Button = QPushButton;

}  // namespace vp::panel
