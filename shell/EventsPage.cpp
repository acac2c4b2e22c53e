#include "shell/EventsPage.h"

#include "core/AppCore.h"
#include "shell/Fingers.h"
#include "shell/WrapCheckBox.h"
#include "shell/StepperField.h"

#include <QCheckBox>
#include <QVBoxLayout>
#include <QLabel>
#include <QSpinBox>

namespace movira {

EventsPage::EventsPage(AppCore* core, bool russian, QWidget* parent)
    : QWidget(parent), core_(core),
      beepOnStop_(new WrapCheckBox(russian ? QStringLiteral("Сигнал при остановке") : QStringLiteral("Beep on stop"), this)) {
    const QString onSpeed = russian ? QStringLiteral("Сигнал при скорости") : QStringLiteral("Beep on speed");
    const QString repeat = russian ? QStringLiteral("интервал повторения") : QStringLiteral("repeat interval");
    // One control a row, so that a narrow screen needs no sideways scrolling.
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    beepOnStop_->setAccessibleName(beepOnStop_->text());
    Fingers::fit(beepOnStop_);
    column->addWidget(beepOnStop_);
    for (int i = 0; i < Rows; ++i) {
        Row& row = rows_[i];
        row.use = new WrapCheckBox(onSpeed, this);
        row.use->setAccessibleName(onSpeed);
        row.limit = new StepperField(MinSpeed, MaxSpeed, onSpeed, this);
        row.bandLabel = new QLabel(repeat, this);
        row.band = new StepperField(MinBand, MaxBand, repeat, this);
        row.bandLabel->setBuddy(row.band->spinBox());
        Fingers::fit(row.use);
        Fingers::fit(row.bandLabel);
        column->addWidget(row.use);
        column->addWidget(row.limit);
        column->addWidget(row.bandLabel);
        column->addWidget(row.band);
    }
    column->addStretch(1);
    if (!core) return;
    SpeedAlarms& alarms = core->alarms();
    beepOnStop_->setChecked(alarms.beepOnZero());
    for (int i = 0; i < Rows; ++i) {
        rows_[i].use->setChecked(alarms.useSound(i));
        rows_[i].limit->setValue(alarms.limit(i));
        rows_[i].band->setValue(alarms.band(i));
    }
}

void EventsPage::apply() {
    if (!core_) return;
    SpeedAlarms& alarms = core_->alarms();
    alarms.setBeepOnZero(beepOnStop_->isChecked());
    for (int i = 0; i < Rows; ++i) alarms.setEntry(i, rows_[i].limit->value(), rows_[i].band->value(), rows_[i].use->isChecked());
}

}  // namespace movira
