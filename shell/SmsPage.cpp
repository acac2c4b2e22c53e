#include "shell/SmsPage.h"

#include "core/AppCore.h"
#include "shell/Fingers.h"
#include "shell/WrapCheckBox.h"
#include "shell/StepperField.h"
#include "shell/TextLimit.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScroller>
#include <QTreeWidget>

namespace movira {

const SmsPage::Tag SmsPage::Tags[7] = {
    {"Latitude", "Широта", "latitude '%Latitude%'", "широта '%Latitude%'"},
    {"Longitude", "Долгота", "longitude '%Longitude%'", "долгота '%Longitude%'"},
    {"Speed", "Скорость", "speed '%Speed%'", "скорость '%Speed%'"},
    {"Time", "Время", "time '%Time%'", "время '%Time%'"},
    {"Altitude", "Высота", "altitude '%Altitude%'", "высота '%Altitude%'"},
    {"Azimuth", "Азимут", "azimuth '%Azimuth%'", "азимут '%Azimuth%'"},
    {"GMaps", "GMaps", "I'm here '%GoogleMaps%'", "я здесь '%GoogleMaps%'"},
};

SmsPage::SmsPage(AppCore* core, bool russian, QWidget* parent)
    : QWidget(parent), core_(core), russian_(russian),
      addressLabel_(new QLabel(russian ? QStringLiteral("Выбор адресатов") : QStringLiteral("Select addresses"), this)),
      addresses_(new QLineEdit(this)),
      send_(new WrapCheckBox(russian ? QStringLiteral("Отсылать каждые") : QStringLiteral("Send every"), this)),
      interval_(new StepperField(MinInterval, MaxInterval, send_->text(), this)),
      minutes_(new QLabel(russian ? QStringLiteral("мин.") : QStringLiteral("min."), this)),
      ifChanged_(new WrapCheckBox(russian ? QStringLiteral("Только если положение изменилось")
                                       : QStringLiteral("Send if position changed"), this)),
      textLabel_(new QLabel(russian ? QStringLiteral("Текст сообщения") : QStringLiteral("SMS text"), this)),
      text_(new QPlainTextEdit(this)),
      tags_(new QTreeWidget(this)) {
    // One control a row (the interval with its unit), so that a narrow screen needs no sideways scrolling.
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(addressLabel_);
    column->addWidget(addresses_);
    column->addWidget(send_);
    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(interval_, 1);
    intervalRow->addWidget(minutes_);
    column->addLayout(intervalRow);
    column->addWidget(ifChanged_);
    column->addWidget(textLabel_);
    column->addWidget(text_);
    column->addWidget(tags_);

    addressLabel_->setBuddy(addresses_);
    textLabel_->setBuddy(text_);
    addresses_->setAccessibleName(addressLabel_->text());
    text_->setAccessibleName(textLabel_->text());
    send_->setAccessibleName(send_->text());
    ifChanged_->setAccessibleName(ifChanged_->text());
    text_->setTabChangesFocus(true);  // Tab walks on; a finger has no Tab to type anyway
    text_->setMinimumHeight(3 * Fingers::MinimumHeight);
    for (QWidget* control : std::initializer_list<QWidget*>{addressLabel_, addresses_, send_, minutes_, ifChanged_, textLabel_}) {
        Fingers::fit(control);
    }

    const QString tagsTitle = russian ? QStringLiteral("Тэги") : QStringLiteral("Tags");
    tags_->setColumnCount(1);
    tags_->setHeaderLabels({tagsTitle});
    tags_->setAccessibleName(tagsTitle);
    tags_->setRootIsDecorated(false);
    tags_->setSelectionMode(QAbstractItemView::SingleSelection);
    tags_->header()->setStretchLastSection(true);
    tags_->setMinimumHeight(3 * Fingers::MinimumHeight);
    QScroller::grabGesture(tags_->viewport(), QScroller::TouchGesture);
    for (const Tag& tag : Tags) new QTreeWidgetItem(tags_, QStringList(QString::fromUtf8(russian ? tag.russian : tag.english)));
    // A double tap (or Return on the item) inserts it.
    connect(tags_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { insertTag(tags_->indexOfTopLevelItem(item)); });

    if (core) {
        SmsReporter& sms = core->sms();
        interval_->setValue(sms.interval());
        text_->setPlainText(QString::fromStdString(sms.text()));
        addresses_->setText(QString::fromStdString(sms.addresses()));
        send_->setChecked(sms.send());
        ifChanged_->setChecked(sms.sendIfChanged());
    }
    // After the texts are in: a longer text from the settings stays whole.
    new TextLimit(addresses_, MaxAddressCharacters);
    new TextLimit(text_, MaxTextCharacters);
}

void SmsPage::insertTag(int index) {
    if (index < 0 || index >= static_cast<int>(std::size(Tags))) return;
    const Tag& tag = Tags[index];
    // Refused whole (with a beep) by the text's limit when it does not fit.
    text_->insertPlainText(QString::fromUtf8(russian_ ? tag.russianSnippet : tag.englishSnippet));
    text_->setFocus();
}

void SmsPage::apply() {
    if (!core_) return;
    core_->sms().setSettings(send_->isChecked(), ifChanged_->isChecked(), interval_->value(),
                             addresses_->text().toStdString(), text_->toPlainText().toStdString());
}

}  // namespace movira
