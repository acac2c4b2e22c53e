// A check box whose text wraps onto further lines when the screen is narrow (240 pixels), so
// that long labels stay readable without sideways scrolling. The whole box answers a tap.
#pragma once

#include <QCheckBox>

namespace movira {

class WrapCheckBox final : public QCheckBox {
    Q_OBJECT

public:
    explicit WrapCheckBox(const QString& text, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

private:
    int indicatorSpace() const;
    QRect textRect(int width) const;
};

}  // namespace movira
