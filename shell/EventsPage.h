// The options' Events page: the stop sound and three speed alarms, each a limit in km/h and the
// band above it (km/h) in which its sound repeats.
#pragma once

#include <QWidget>

#include <array>

class QCheckBox;
class QLabel;

namespace movira {

class AppCore;
class StepperField;

class EventsPage final : public QWidget {
    Q_OBJECT

public:
    static constexpr int Rows = 3;
    static constexpr int MinSpeed = 1, MaxSpeed = 1000;    // km/h
    static constexpr int MinBand = 1, MaxBand = 100;       // km/h

    EventsPage(AppCore* core, bool russian, QWidget* parent = nullptr);
    void apply();

    QCheckBox* beepOnStop() const { return beepOnStop_; }
    QCheckBox* beepOnSpeed(int row) const { return rows_[row].use; }
    StepperField* limit(int row) const { return rows_[row].limit; }
    QLabel* bandLabel(int row) const { return rows_[row].bandLabel; }
    StepperField* band(int row) const { return rows_[row].band; }

private:
    struct Row {
        QCheckBox* use;
        StepperField* limit;
        QLabel* bandLabel;
        StepperField* band;
    };

    AppCore* const core_;
    QCheckBox* beepOnStop_;
    std::array<Row, Rows> rows_{};
};

}  // namespace movira
