// The control's drawing surface: a frame that always fills the control, carries its border and
// paints the bar inside it through the painter function the control hands it.
#pragma once

#include <QFrame>
#include <functional>

namespace lumabar {

class PictureSurface : public QFrame {
    Q_OBJECT
public:
    using PaintFunction = std::function<void(QPainter&, int width, int height)>;

    PictureSurface(QWidget* parent, PaintFunction paint);

    // 0 no border, 1 a fixed single (sunken) border.
    void setBorderStyle(int style);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PaintFunction paint_;
};

}  // namespace lumabar
