#include "shell/CommonPage.h"

#include "core/AppCore.h"
#include "core/NoValue.h"
#include "platform/PosixSerialPort.h"
#include "shell/Fingers.h"
#include "shell/WrapCheckBox.h"
#include "shell/FolderDialog.h"
#include "shell/PortSearchDialog.h"
#include "shell/TextLimit.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace movira {
namespace {

QString tr2(bool russian, const char* english, const char* russianText) {
    return russian ? QString::fromUtf8(russianText) : QString::fromUtf8(english);
}

}  // namespace

const std::vector<int>& CommonPage::speeds() {
    static const std::vector<int> list = {300, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return list;
}

QString CommonPage::missingMark(bool russian) { return tr2(russian, " (missing)", " (нет)"); }

CommonPage::CommonPage(AppCore* core, const SerialPortLister& lister, bool russian, QWidget* parent)
    : QWidget(parent), core_(core), russian_(russian),
      gpsApi_(new QRadioButton(QStringLiteral("GPS API"), this)),
      com_(new QRadioButton(QStringLiteral("COM (NMEA)"), this)),
      ports_(new QComboBox(this)),
      search_(new QPushButton(tr2(russian, "Search", "Найти"), this)),
      speedLabel_(new QLabel(tr2(russian, "Port speed", "Скорость порта"), this)),
      speedList_(new QComboBox(this)),
      kml_(new WrapCheckBox(tr2(russian, "Save track in KML format", "Писать путь в формате KML"), this)),
      gpx_(new WrapCheckBox(tr2(russian, "Save track in GPX format", "Писать путь в формате GPX"), this)),
      folder_(new QLineEdit(this)),
      chooseFolder_(new QPushButton(QStringLiteral("..."), this)) {
    auto* source = new QButtonGroup(this);
    source->addButton(gpsApi_);
    source->addButton(com_);

    // One control a row (a narrow screen has room for no more), in screen order, which is also
    // the Tab order.
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(gpsApi_);
    column->addWidget(com_);
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(ports_, 1);
    portRow->addWidget(search_);
    column->addLayout(portRow);
    column->addWidget(speedLabel_);
    column->addWidget(speedList_);
    column->addWidget(kml_);
    column->addWidget(gpx_);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(chooseFolder_);
    column->addLayout(folderRow);
    column->addStretch(1);
    for (QComboBox* list : {ports_, speedList_}) {
        // Long device names must not widen the page past a small screen.
        list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        list->setMinimumContentsLength(8);
    }

    ports_->setAccessibleName(com_->text());
    speedList_->setAccessibleName(speedLabel_->text());
    speedLabel_->setBuddy(speedList_);
    folder_->setAccessibleName(tr2(russian, "Track folder", "Папка для треков"));
    chooseFolder_->setAccessibleName(chooseFolder_->text());
    chooseFolder_->setMinimumWidth(Fingers::MinimumHeight);
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{gpsApi_, com_, search_, kml_, gpx_, chooseFolder_}) {
        button->setAccessibleName(button->text());
    }
    for (QWidget* control : std::initializer_list<QWidget*>{gpsApi_, com_, ports_, search_, speedLabel_, speedList_,
                                                           kml_, gpx_, folder_, chooseFolder_}) {
        Fingers::fit(control);
    }
    search_->setAutoDefault(false);
    chooseFolder_->setAutoDefault(false);

    speedList_->addItem(tr2(russian, "Auto", "Авто"), 0);
    for (int speed : speeds()) speedList_->addItem(QString::number(speed), speed);

    fillPorts(lister, core ? core->comPortName() : std::string());
    if (core) {
        (core->useGpsApi() ? gpsApi_ : com_)->setChecked(true);
        selectSpeed(core->baudRate());
        kml_->setChecked(core->enableKmlTrack());
        gpx_->setChecked(core->enableGpxTrack());
        folder_->setText(QString::fromStdString(core->trackFolderOrDefault()));
    }
    if (speedList_->currentIndex() < 0) speedList_->setCurrentIndex(0);
    new TextLimit(folder_, MaxFolderCharacters);  // after the folder is in: a longer one stays whole

    connect(search_, &QPushButton::clicked, this, &CommonPage::search);
    connect(chooseFolder_, &QPushButton::clicked, this, &CommonPage::chooseFolder);
}

void CommonPage::fillPorts(const SerialPortLister& lister, const std::string& configured) {
    std::vector<ListedSerialPort> listed = lister.ports();
    // The configured port under whatever name it was given ("ttyUSB0" is /dev/ttyUSB0).
    const std::string configuredPath = configured.empty() ? std::string() : PosixSerialPort::devicePath(configured);
    int selected = -1;
    bool configuredListed = configured.empty();
    for (const ListedSerialPort& port : listed) configuredListed = configuredListed || port.path == configuredPath;
    struct Row {
        std::string path;
        QString text;
    };
    std::vector<Row> rows;
    for (const ListedSerialPort& port : listed) {
        QString text = QString::fromStdString(port.path);
        if (!port.product.empty()) text += QStringLiteral(" — ") + QString::fromStdString(port.product);
        // The settings keep the name as the user gave it.
        rows.push_back({port.path == configuredPath ? configured : port.path, text});
    }
    if (!configuredListed) {
        // Shown, so that Apply neither keeps nor drops it behind the user's back.
        rows.push_back({configured, QString::fromStdString(configured) + missingMark(russian_)});
    }
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.text < b.text; });
    for (const Row& row : rows) {
        ports_->addItem(row.text, QString::fromStdString(row.path));
        if (!configured.empty() && row.path == configured) selected = ports_->count() - 1;
    }
    ports_->setCurrentIndex(selected);
}

void CommonPage::selectSpeed(int speed) {
    const int index = speedList_->findData(speed);
    speedList_->setCurrentIndex(index > 0 ? index : 0);
}

QString CommonPage::selectedPort() const {
    return ports_->currentIndex() < 0 ? QString() : ports_->currentData().toString();
}

void CommonPage::apply() {
    if (!core_) return;
    core_->setUseGpsApi(gpsApi_->isChecked());
    const int speed = speedList_->currentData().toInt();
    core_->setBaudRate(speed == 0 ? NoValueInt : speed);
    const std::string port = selectedPort().toStdString();
    if (port.size() > 3) core_->setComPort(port);
    core_->setEnableKmlTrack(kml_->isChecked());
    core_->setEnableGpxTrack(gpx_->isChecked());
    // The default folder stays implicit (it follows --home) unless the user names another.
    const std::string folder = folder_->text().toStdString();
    if (folder != core_->trackFolderOrDefault()) core_->setTrackFolder(folder);
}

void CommonPage::search() {
    if (!core_) return;
    std::vector<std::string> paths;
    for (int i = 0; i < ports_->count(); ++i) {
        if (!ports_->itemText(i).endsWith(missingMark(russian_))) paths.push_back(ports_->itemData(i).toString().toStdString());
    }
    PortSearchDialog dialog(paths, russian_, this, portFactory, searchSilenceLimit);
    const int result = dialog.exec();
    const QString caption = PortSearchDialog::caption(russian_);
    if (result == PortSearchDialog::Found) {
        const QString found = dialog.foundPort();
        QMessageBox::information(this, caption, tr2(russian_, "Port found ", "Порт найден ") + found);
        const int index = ports_->findData(found);
        if (index >= 0) ports_->setCurrentIndex(index);
        // A receiver understood only at another speed brings that speed along.
        if (dialog.foundSpeed() != 0) selectSpeed(dialog.foundSpeed());
    } else {
        QMessageBox::information(this, caption, tr2(russian_, "Port not found", "Не удалось найти порт"));
    }
}

void CommonPage::chooseFolder() {
    FolderDialog dialog(folder_->text(), russian_, this);
    if (dialog.exec() == FolderDialog::Ok) folder_->setText(dialog.path());
}

}  // namespace movira
