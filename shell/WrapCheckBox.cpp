#include "shell/WrapCheckBox.h"

#include "shell/Fingers.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyleOptionButton>

#include <algorithm>

namespace movira {
namespace {

constexpr int kLongestWord = 120;  // a narrower box than this would break words apart

}  // namespace

WrapCheckBox::WrapCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setAccessibleName(text);
}

int WrapCheckBox::indicatorSpace() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    return style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this) +
           style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, this) + 2;
}

QRect WrapCheckBox::textRect(int width) const {
    const int left = indicatorSpace();
    const QRect bounds = fontMetrics().boundingRect(QRect(0, 0, std::max(1, width - left), 10000),
                                                    Qt::TextWordWrap, text());
    return QRect(left, 0, std::max(1, width - left), bounds.height());
}

QSize WrapCheckBox::sizeHint() const {
    const int width = indicatorSpace() + fontMetrics().horizontalAdvance(text()) + 2;
    return {width, heightForWidth(width)};
}

QSize WrapCheckBox::minimumSizeHint() const {
    const int width = std::min(sizeHint().width(), indicatorSpace() + kLongestWord);
    return {width, heightForWidth(width)};
}

int WrapCheckBox::heightForWidth(int width) const {
    return std::max(Fingers::MinimumHeight, textRect(width).height() + 8);
}

void WrapCheckBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const int indicator = style()->pixelMetric(QStyle::PM_IndicatorHeight, &option, this);
    option.rect = QRect(0, (height() - indicator) / 2, style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this),
                        indicator);
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &painter, this);
    QRect text = textRect(width());
    text.moveTop((height() - text.height()) / 2);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(text, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignVCenter, this->text());
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = text.adjusted(-1, -1, 1, 1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

}  // namespace movira
