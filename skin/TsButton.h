#pragma once

#include <QPushButton>

namespace quarrow {

// The skinned push button: a caption wider than the button wraps onto more
// lines instead of being cut, as skinned buttons have always drawn it.
class TsButton : public QPushButton {
    Q_OBJECT
public:
    explicit TsButton(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool captionFits(const QRect& contents) const;
};

}  // namespace quarrow
