#include "shell/OptionsSheet.h"

#include "core/AppCore.h"
#include "platform/SerialPortLister.h"
#include "shell/CommonPage.h"
#include "shell/EventsPage.h"
#include "shell/Fingers.h"
#include "shell/SmsPage.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScroller>
#include <QTabWidget>
#include <QVBoxLayout>

#ifndef MOVIRA_VERSION
#define MOVIRA_VERSION "0.0.0"
#endif

namespace movira {
namespace {

// The project's licence, as the About page names it. No licence file has been chosen yet:
// set both texts when one is.
constexpr char kLicence[] = "the terms the project is distributed under (see its sources)";
constexpr char kLicenceRussian[] = "на условиях, с которыми распространяется проект (см. исходные тексты)";

// A page that scrolls with a finger when the screen is smaller than the page (240 x 320).
QScrollArea* scrolling(QWidget* page, QWidget* parent) {
    auto* area = new QScrollArea(parent);
    area->setWidget(page);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QScroller::grabGesture(area->viewport(), QScroller::TouchGesture);
    return area;
}

}  // namespace

OptionsSheet::OptionsSheet(AppCore* core, QWidget* parent, const SerialPortLister* lister,
                           std::optional<UiText::Language> language)
    : QDialog(parent), core_(core), tabs_(new QTabWidget(this)) {
    const bool russian = language ? *language == UiText::Language::Russian : core && core->uiText().isRussian();
    if (!lister) {
        ownLister_ = SerialPortLister::create();
        lister = ownLister_.get();
    }
    setWindowTitle(QStringLiteral("Movira"));
    setModal(true);
    setStyleSheet(QString::fromLatin1(Fingers::styleSheet()));

    common_ = new CommonPage(core, *lister, russian, this);
    events_ = new EventsPage(core, russian, this);
    sms_ = new SmsPage(core, russian, this);
    about_ = new QLabel(aboutText(core, russian), this);
    about_->setWordWrap(true);
    about_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    about_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    about_->setMargin(8);
    tabs_->addTab(scrolling(common_, tabs_), russian ? QStringLiteral("Общие") : QStringLiteral("Common"));
    tabs_->addTab(scrolling(events_, tabs_), russian ? QStringLiteral("Уведомления") : QStringLiteral("Events"));
    tabs_->addTab(scrolling(sms_, tabs_), QStringLiteral("SMS"));
    tabs_->addTab(scrolling(about_, tabs_), russian ? QStringLiteral("О программе") : QStringLiteral("About"));
    tabs_->setUsesScrollButtons(true);  // four tabs on a screen 240 pixels wide
    tabs_->setAccessibleName(windowTitle());
    about_->setAccessibleName(tabs_->tabText(3));

    apply_ = new QPushButton(russian ? QStringLiteral("Принять") : QStringLiteral("Apply"), this);
    cancel_ = new QPushButton(russian ? QStringLiteral("Отменить") : QStringLiteral("Cancel"), this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(tabs_, 1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {apply_, cancel_}) {
        button->setAccessibleName(button->text());
        Fingers::fit(button);
        buttons->addWidget(button);
    }
    apply_->setDefault(true);
    cancel_->setAutoDefault(false);
    layout->addLayout(buttons);
    connect(apply_, &QPushButton::clicked, this, &OptionsSheet::apply);
    connect(cancel_, &QPushButton::clicked, this, &OptionsSheet::reject);
    setWindowState(windowState() | Qt::WindowMaximized);
}

OptionsSheet::~OptionsSheet() = default;

namespace {

// A file that could not be written is said on standard error; the About page repeats the last.
QString lastFailureLine(AppCore* core, const QString& label) {
    const std::string failure = core ? core->lastFailure() : std::string();
    return failure.empty() ? QString() : QStringLiteral("\n\n") + label + QString::fromStdString(failure);
}

}  // namespace

QString OptionsSheet::aboutText(AppCore* core, bool russian) {
    const QString settings = core ? QString::fromStdString(core->settingsPath()) : QStringLiteral("Speedometer.ini");
    const QString tracks = core ? QString::fromStdString(core->trackFolderOrDefault()) : QStringLiteral("Tracks");
    const QString version = QStringLiteral(MOVIRA_VERSION);
    if (russian) {
        return QStringLiteral("Movira (Speedometer) %1\n\n"
                              "Бортовой GPS-компьютер для сенсорного экрана: скорость, путь, время, разгон, "
                              "спутники и трек по данным GPS-приёмника (NMEA на последовательном порту или gpsd), "
                              "звуковые сигналы скорости и SMS с положением.\n\n"
                              "Лицензия: %4; шрифт цифр DSEG7 Classic — SIL Open Font License 1.1.\n\n"
                              "Файл настроек: %2\nПапка треков: %3")
            .arg(version, settings, tracks, QString::fromUtf8(kLicenceRussian)) +
            lastFailureLine(core, QStringLiteral("Последняя ошибка записи: "));
    }
    return QStringLiteral("Movira (Speedometer) %1\n\n"
                          "A full-screen GPS trip computer for touch screens: speed, distance, time, acceleration, "
                          "satellites and the track, from a GPS receiver (NMEA on a serial port, or gpsd), with "
                          "speed alarms and SMS position reports.\n\n"
                          "Licence: %4; the digits' face DSEG7 Classic is under the SIL Open Font License 1.1.\n\n"
                          "Settings file: %2\nTrack folder: %3")
               .arg(version, settings, tracks, QString::fromUtf8(kLicence)) +
           lastFailureLine(core, QStringLiteral("Last failure to save: "));
}

void OptionsSheet::apply() {
    // The order the parts expect: the GPS settings (restarting the connection), then the alarms,
    // then the SMS reports; then the file, so that a power cut keeps what was applied.
    common_->apply();
    events_->apply();
    sms_->apply();
    if (core_) core_->saveSettings();
    done(Applied);
}

void OptionsSheet::reject() { done(Cancelled); }

void OptionsSheet::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Launch0:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        apply_->click();
        return;
    case Qt::Key_Launch1:
    case Qt::Key_Escape:
        cancel_->click();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

}  // namespace movira
