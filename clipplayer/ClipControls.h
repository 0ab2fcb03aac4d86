// The small controls of a clip button: the latching clip button that reports left and right
// presses, the status light, and the "<" box that reports a click.
#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace brisko::clip {

// The clip button: checkable, but only the Clip Player's handlers change its pressed state.
class ClipButton : public QPushButton {
    Q_OBJECT
public:
    explicit ClipButton(QWidget* parent = nullptr);
    // Paints it with the slot's colour codes.
    void setColours(double back, double text);
    double backColour() const { return back_; }
    double textColour() const { return text_; }
    // The "missing file" picture, shown while the button is disabled; false clears it.
    void setMissingPicture(bool shown);
    bool hasMissingPicture() const { return missing_; }
signals:
    void MouseDown(Qt::MouseButton button);
    void MouseMove();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void nextCheckState() override {}

private:
    double back_ = 16777215, text_ = 0;
    bool missing_ = false;
};

// The status light: a small filled shape in a colour code.
class StatusLight : public QWidget {
    Q_OBJECT
public:
    explicit StatusLight(QWidget* parent = nullptr);
    void setColour(double code);
    double colour() const { return colour_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double colour_ = 16777215;
};

// A read-only text box that reports a click.
class ClickBox : public QLineEdit {
    Q_OBJECT
public:
    explicit ClickBox(QWidget* parent = nullptr);
signals:
    void Click();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// The colour of a colour code (a negative code is the button face).
QColor colourOf(double code);

}  // namespace brisko::clip
