// A label that always shows all of its word-wrapped text inside its box: where the text would not
// fit at the label's own font size, it is drawn smaller (the incident line has room for two lines).
#pragma once

#include <QFont>
#include <QLabel>

namespace brisko::console {

class FitLabel : public QLabel {
public:
    using QLabel::QLabel;

    // The font the text is drawn in: the label's own, or the largest smaller size at which all of
    // the text fits the box (never below a size that can still be read).
    QFont fittedFont() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace brisko::console
