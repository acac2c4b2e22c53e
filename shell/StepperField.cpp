#include "shell/StepperField.h"

#include "shell/Fingers.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>

namespace movira {

StepperField::StepperField(int minimum, int maximum, const QString& accessibleName, QWidget* parent)
    : QWidget(parent), spin_(new QSpinBox(this)), down_(new QPushButton(QStringLiteral("−"), this)),
      up_(new QPushButton(QStringLiteral("+"), this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    spin_->setRange(minimum, maximum);
    spin_->setButtonSymbols(QAbstractSpinBox::NoButtons);
    spin_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    spin_->setAccessibleName(accessibleName);
    Fingers::fit(spin_);
    for (QPushButton* button : {down_, up_}) {
        button->setAutoDefault(false);
        button->setAutoRepeat(true);  // held down, it keeps counting
        button->setFixedSize(Fingers::MinimumHeight, Fingers::MinimumHeight);
        button->setFocusPolicy(Qt::NoFocus);  // the keyboard steps the field itself
    }
    down_->setAccessibleName(accessibleName + QStringLiteral(" −"));
    up_->setAccessibleName(accessibleName + QStringLiteral(" +"));
    connect(down_, &QPushButton::clicked, spin_, &QSpinBox::stepDown);
    connect(up_, &QPushButton::clicked, spin_, &QSpinBox::stepUp);
    layout->addWidget(spin_, 1);
    layout->addWidget(down_);
    layout->addWidget(up_);
    setFocusProxy(spin_);
}

int StepperField::value() const { return spin_->value(); }

void StepperField::setValue(int value) { spin_->setValue(value); }

}  // namespace movira
