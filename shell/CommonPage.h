// The options' Common page: the GPS source (library or serial port), the port with its search,
// the port speed, the track formats and the track folder with its chooser.
#pragma once

#include "core/PortSearch.h"
#include "platform/SerialPortLister.h"

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace movira {

class AppCore;

class CommonPage final : public QWidget {
    Q_OBJECT

public:
    static constexpr int MaxFolderCharacters = 255;
    // "Auto" first, then every speed the reader can set, ascending.
    static const std::vector<int>& speeds();

    // `core` may be null (then only the lists are filled and apply does nothing).
    CommonPage(AppCore* core, const SerialPortLister& lister, bool russian, QWidget* parent = nullptr);

    void apply();
    // The port search over the listed ports, then its message; then the folder chooser.
    void search();
    void chooseFolder();

    // The device path behind the port list's selection; empty for none.
    QString selectedPort() const;
    // Makes the ports the search opens (tests give pseudo-terminals of their own).
    PortSearch::PortFactory portFactory = SerialPort::create;
    std::chrono::milliseconds searchSilenceLimit = PortSearch::DefaultSilenceLimit;

    QRadioButton* gpsApiButton() const { return gpsApi_; }
    QRadioButton* comButton() const { return com_; }
    QComboBox* portList() const { return ports_; }
    QPushButton* searchButton() const { return search_; }
    QLabel* speedLabel() const { return speedLabel_; }
    QComboBox* speedList() const { return speedList_; }
    QCheckBox* kmlBox() const { return kml_; }
    QCheckBox* gpxBox() const { return gpx_; }
    QLineEdit* folderEdit() const { return folder_; }
    QPushButton* folderButton() const { return chooseFolder_; }

    static QString missingMark(bool russian);

private:
    void fillPorts(const SerialPortLister& lister, const std::string& configured);
    void selectSpeed(int speed);

    AppCore* const core_;
    const bool russian_;
    QRadioButton* gpsApi_;
    QRadioButton* com_;
    QComboBox* ports_;
    QPushButton* search_;
    QLabel* speedLabel_;
    QComboBox* speedList_;
    QCheckBox* kml_;
    QCheckBox* gpx_;
    QLineEdit* folder_;
    QPushButton* chooseFolder_;
};

}  // namespace movira
