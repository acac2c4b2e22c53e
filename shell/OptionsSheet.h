// The options dialog: four tabs (Common, Events, SMS, About) over Apply and Cancel. It opens
// filled from the running core; Apply copies the pages into the core, the alarms and the SMS
// reporter (restarting the GPS connection) and writes the settings file at once; Cancel changes
// nothing. Launch0 and Return apply, Launch1 and Escape cancel. UI thread only.
#pragma once

#include "core/UiText.h"

#include <QDialog>

#include <memory>
#include <optional>

class QLabel;
class QPushButton;
class QTabWidget;

namespace movira {

class AppCore;
class CommonPage;
class EventsPage;
class SerialPortLister;
class SmsPage;

class OptionsSheet final : public QDialog {
    Q_OBJECT

public:
    enum Result { Applied = 1, Cancelled = 2 };

    // `core` may be null: then the pages show only the lists and Apply changes nothing.
    // `lister` lists the serial ports; null takes the machine's. The language is the core's
    // unless one is given (tests see both).
    explicit OptionsSheet(AppCore* core, QWidget* parent = nullptr, const SerialPortLister* lister = nullptr,
                          std::optional<UiText::Language> language = std::nullopt);
    ~OptionsSheet() override;

    // The About text: what the program is, its version and licence, where its files are.
    static QString aboutText(AppCore* core, bool russian);

    QTabWidget* tabs() const { return tabs_; }
    CommonPage* commonPage() const { return common_; }
    EventsPage* eventsPage() const { return events_; }
    SmsPage* smsPage() const { return sms_; }
    QLabel* about() const { return about_; }
    QPushButton* applyButton() const { return apply_; }
    QPushButton* cancelButton() const { return cancel_; }

    void apply();
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    AppCore* const core_;
    std::unique_ptr<SerialPortLister> ownLister_;
    QTabWidget* tabs_;
    CommonPage* common_;
    EventsPage* events_;
    SmsPage* sms_;
    QLabel* about_;
    QPushButton* apply_;
    QPushButton* cancel_;
};

}  // namespace movira
