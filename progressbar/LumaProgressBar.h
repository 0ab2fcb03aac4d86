// LumaProgressBar: a flat progress bar in the style of a setup program. The bar fills in the fore
// colour and the centred percentage changes colour exactly where the bar passes under it.
#pragma once

#include <QFont>
#include <QString>
#include <QWidget>
#include <optional>

#include "LumabarExport.h"

namespace lumabar {
class PictureSurface;
class PropertyBag;
}  // namespace lumabar

// Properties, methods and events keep the names hosts know the control by; each property is a Qt
// property of that name, so Qt Designer and form loaders set it by name. The help strings are the
// class's "help:<member>" class infos.
class LUMABAR_EXPORT LumaProgressBar : public QWidget {
    Q_OBJECT
    Q_CLASSINFO("Description", "Luma ProgressBar Control")
    Q_CLASSINFO(
        "help:BackColor",
        " Returns/sets the background color used to display text and graphics in an object.")
    Q_CLASSINFO(
        "help:ForeColor",
        " Returns/sets the foreground color used to display text and graphics in an object.")
    Q_CLASSINFO("help:Font", "Returns a Font object.")
    Q_CLASSINFO("help:Value",
                "Returns/sets a number that specifies the value of the ProgressBar control.")
    Q_CLASSINFO("help:Min", "Returns or sets the ProgressBar control's minimum value.")
    Q_CLASSINFO("help:Max", "Returns or sets the ProgressBar control's maximum value.")
    Q_CLASSINFO("help:Orientation",
                "Returns or sets a value that determines the orientation (horizontal or vertical) "
                "of the object.")
    Q_CLASSINFO("help:BarText", "Returns or sets the text of Progress Bar control.")
    Q_CLASSINFO("help:BorderStyle", "Returns/sets the border style for an object.")
    Q_CLASSINFO("help:Refresh", "Forces a complete repaint of a object.")
    Q_CLASSINFO("help:Click",
                "Occurs when the user presses and then releases a mouse button over an object.")
    Q_CLASSINFO("help:DblClick",
                " Occurs when the user presses and releases a mouse button and then presses and "
                "releases it again over an object.")
    Q_CLASSINFO("help:KeyDown", "Occurs when the user presses a key while an object has the focus.")
    Q_CLASSINFO("help:KeyPress", "Occurs when the user presses and releases an ANSI key.")
    Q_CLASSINFO("help:KeyUp", "Occurs when the user releases a key while an object has the focus.")
    Q_CLASSINFO("help:MouseDown",
                "Occurs when the user presses the mouse button while an object has the focus.")
    Q_CLASSINFO("help:MouseMove", "Occurs when the user moves the mouse.")
    Q_CLASSINFO("help:MouseUp",
                "Occurs when the user releases the mouse button while an object has the focus.")

    // Colours are colour codes (blue × 65536 + green × 256 + red, or a negative system colour).
    Q_PROPERTY(int BackColor READ backColor WRITE setBackColor)
    Q_PROPERTY(int ForeColor READ foreColor WRITE setForeColor)
    // The font of the percentage: the control's own font, which the drawing surface inherits.
    Q_PROPERTY(QFont Font READ font WRITE setFont)
    // Single-precision values, shown to Qt as double so that every property editor can edit them.
    Q_PROPERTY(double Value READ value WRITE setValue)
    Q_PROPERTY(double Min READ min WRITE writeMin)
    Q_PROPERTY(double Max READ max WRITE writeMax)
    Q_PROPERTY(int Orientation READ orientation WRITE writeOrientation)
    Q_PROPERTY(QString BarText READ barText WRITE setBarText)
    Q_PROPERTY(int BorderStyle READ borderStyle WRITE setBorderStyle)
    Q_PROPERTY(int hWnd READ hWnd STORED false DESIGNABLE false)

public:
    explicit LumaProgressBar(QWidget* parent = nullptr);
    ~LumaProgressBar() override;

    // What a control placed anew in a host starts with: Value 50, Min 0, Max 100, Orientation 0,
    // BarText "%", ForeColor blue; the rest keeps the designed values (button-face back colour,
    // single border, the host's font).
    void initProperties();

    float value() const { return value_; }
    float min() const { return min_; }
    float max() const { return max_; }
    qint32 orientation() const { return orientation_; }
    QString barText() const { return barText_; }
    qint32 backColor() const { return backColor_; }
    qint32 foreColor() const { return foreColor_; }
    qint16 borderStyle() const { return borderStyle_; }
    qint32 hWnd() const;
    // The drag and drop modes of the drawing surface: persisted, not public properties.
    qint32 oleDragMode() const { return oleDragMode_; }
    qint32 oleDropMode() const { return oleDropMode_; }

    // Each setter stores, tells the host the property changed (propertyChanged) and repaints.
    void setValue(double value);
    void setBarText(const QString& text);
    void setBackColor(int code);
    void setForeColor(int code);
    // Throw LumaError 380 and change nothing when the new bound would pass the other one.
    void setMin(double min);
    void setMax(double max);
    // Both bounds at once (as a saved control restores them): 380 when MIN is above MAX.
    void setRange(double min, double max);
    // Turning the control between horizontal and vertical swaps its width and height (an upright
    // bar of the same proportions), shown yet or not: a 200 × 20 control becomes 20 × 200.
    void setOrientation(int orientation);
    // 0 no border, 1 a fixed single border; anything else is refused (noted in lastRefusal()).
    // Forms compiled by uic call this directly, so it never throws.
    void setBorderStyle(int style);

    // The host's property store: write every persisted property (defaults left out), read them
    // back. Reading restores the bounds together and keeps the size the host gave the control.
    void writeProperties(lumabar::PropertyBag& bag) const;
    void readProperties(const lumabar::PropertyBag& bag);
    // The font the host offers its controls (the parent's font, else the application's).
    QFont ambientFont() const;

    // The property whose new value was refused last (see writeMin, setBorderStyle), if any.
    const std::optional<QString>& lastRefusal() const { return lastRefusal_; }

    Q_INVOKABLE void Refresh();
    Q_INVOKABLE void ShowAbout();

    // The library's version, as the About window shows it.
    static int versionMajor();
    static int versionMinor();
    static int versionRevision();

    QSize sizeHint() const override;

signals:
    void Click();
    void DblClick();
    void KeyDown(qint16 KeyCode, qint16 Shift);
    void KeyPress(qint16 KeyAscii);
    void KeyUp(qint16 KeyCode, qint16 Shift);
    void MouseDown(qint16 Button, qint16 Shift, float X, float Y);
    void MouseMove(qint16 Button, qint16 Shift, float X, float Y);
    void MouseUp(qint16 Button, qint16 Shift, float X, float Y);

    // The host's cue that a property changed and the control needs saving.
    void propertyChanged(const QString& name);

protected:
    // Property writes by name (Qt Designer, form loaders, forms compiled by uic, which set these
    // by name because their writers are not the setters): never throw. Until the control is
    // first shown its host is still restoring it, so a bound that would pass the other waits for
    // it and a saved pair comes back in either order, and Orientation is stored without turning
    // the control, whose saved size the form has already restored. Once shown, a refused bound is
    // kept out and noted in lastRefusal(), and Orientation turns the control as setOrientation.
    void writeMin(double min);
    void writeMax(double max);
    void writeOrientation(int orientation);

    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void paintSurface(QPainter& painter, int width, int height) const;
    void markChanged(const QString& name);
    void storeOrientation(qint32 orientation);
    void applyPendingBounds();
    void refuse(const QString& property);
    void forwardMouse(QEvent* event);
    void forwardKey(QEvent* event);

    lumabar::PictureSurface* Picture1;

    float value_ = 50;
    float min_ = 0;
    float max_ = 100;
    qint32 orientation_ = 0;
    QString barText_ = QStringLiteral("%");
    qint32 backColor_;
    qint32 foreColor_;
    qint16 borderStyle_ = 1;
    qint32 oleDragMode_ = 0;
    qint32 oleDropMode_ = 0;

    bool shownOnce_ = false;
    bool doubleClicked_ = false;
    std::optional<float> pendingMin_;
    std::optional<float> pendingMax_;
    std::optional<QString> lastRefusal_;
};
