// The options dialog on a real core: its texts in both languages, what it shows, Apply (into
// the running objects and the settings file at once), Cancel, tab changes, ranges, keys, the
// port list, the tag list, long Cyrillic texts, and its fitness for fingers.
#include "shell/OptionsSheet.h"

#include "core/NoValue.h"
#include "platform/SysfsSerialPortLister.h"
#include "settings/IniFile.h"
#include "core/UserCommand.h"
#include "shell/CommonPage.h"
#include "shell/MainFrame.h"
#include "shell/EventsPage.h"
#include "shell/SmsPage.h"
#include "shell/StepperField.h"
#include "shell/TextLimit.h"
#include "tests/shell/DialogDriver.h"
#include "tests/shell/OptionsTestBed.h"
#include "tests/support/PseudoTerminal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>

namespace movira::test {
namespace {

namespace fs = std::filesystem;
using Language = UiText::Language;

const char kSettings[] =
    "[Main]\nUseGPSAPI=false\nCOMPort=/dev/ttyUSB1\nCOMPortBaudRate=9600\nEnableKMLTrack=true\nEnableGPXTrack=false\n"
    "[Events]\nBeepOnZero=true\nLimit1=55\nLimitInter1=7\nUseSound1=true\nLimit2=90\nLimitInter2=5\nUseSound2=false\n"
    "Limit3=130\nLimitInter3=12\nUseSound3=true\n"
    "[SMS]\nAddress=+7900,+7901\nText=hello %Speed%\nInterval=15\nSendIfChanged=true\nSend=true\n";

QStringList comboTexts(const QComboBox* box) {
    QStringList texts;
    for (int i = 0; i < box->count(); ++i) texts << box->itemText(i);
    return texts;
}

class OptionsSheetTest : public OptionsTestBed {
protected:
    void SetUp() override {
        OptionsTestBed::SetUp();
        lister.list = {{"/dev/ttyUSB0", "u-blox 7"}, {"/dev/ttyUSB1", ""}, {"/dev/rfcomm0", ""}};
    }
    std::unique_ptr<OptionsSheet> open(std::optional<Language> language = std::nullopt) {
        auto sheet = std::make_unique<OptionsSheet>(core.get(), nullptr, &lister, language);
        sheet->resize(480, 800);
        sheet->show();
        return sheet;
    }
};

TEST_F(OptionsSheetTest, EveryTextInBothLanguages) {
    makeCore(kSettings);
    for (const Language language : {Language::English, Language::Russian}) {
        const bool ru = language == Language::Russian;
        auto sheet = open(language);
        const CommonPage& c = *sheet->commonPage();
        const EventsPage& e = *sheet->eventsPage();
        const SmsPage& s = *sheet->smsPage();
        const struct {
            QString shown;
            const char* english;
            const char* russian;
        } texts[] = {
            {sheet->applyButton()->text(), "Apply", "Принять"},
            {sheet->cancelButton()->text(), "Cancel", "Отменить"},
            {sheet->tabs()->tabText(0), "Common", "Общие"},
            {sheet->tabs()->tabText(1), "Events", "Уведомления"},
            {sheet->tabs()->tabText(2), "SMS", "SMS"},
            {sheet->tabs()->tabText(3), "About", "О программе"},
            {c.gpsApiButton()->text(), "GPS API", "GPS API"},
            {c.comButton()->text(), "COM (NMEA)", "COM (NMEA)"},
            {c.searchButton()->text(), "Search", "Найти"},
            {c.speedLabel()->text(), "Port speed", "Скорость порта"},
            {c.speedList()->itemText(0), "Auto", "Авто"},
            {c.kmlBox()->text(), "Save track in KML format", "Писать путь в формате KML"},
            {c.gpxBox()->text(), "Save track in GPX format", "Писать путь в формате GPX"},
            {c.folderButton()->text(), "...", "..."},
            {e.beepOnStop()->text(), "Beep on stop", "Сигнал при остановке"},
            {e.beepOnSpeed(0)->text(), "Beep on speed", "Сигнал при скорости"},
            {e.beepOnSpeed(2)->text(), "Beep on speed", "Сигнал при скорости"},
            {e.bandLabel(0)->text(), "repeat interval", "интервал повторения"},
            {e.bandLabel(2)->text(), "repeat interval", "интервал повторения"},
            {s.addressLabel()->text(), "Select addresses", "Выбор адресатов"},
            {s.sendEvery()->text(), "Send every", "Отсылать каждые"},
            {s.minutesLabel()->text(), "min.", "мин."},
            {s.sendIfChanged()->text(), "Send if position changed", "Только если положение изменилось"},
            {s.textLabel()->text(), "SMS text", "Текст сообщения"},
            {s.tags()->headerItem()->text(0), "Tags", "Тэги"},
        };
        for (const auto& text : texts) EXPECT_EQ(text.shown, QString::fromUtf8(ru ? text.russian : text.english));
        const char* tagsEnglish[] = {"Latitude", "Longitude", "Speed", "Time", "Altitude", "Azimuth", "GMaps"};
        const char* tagsRussian[] = {"Широта", "Долгота", "Скорость", "Время", "Высота", "Азимут", "GMaps"};
        ASSERT_EQ(s.tags()->topLevelItemCount(), 7);
        for (int i = 0; i < 7; ++i) {
            EXPECT_EQ(s.tags()->topLevelItem(i)->text(0), QString::fromUtf8(ru ? tagsRussian[i] : tagsEnglish[i]));
        }
        const QString about = sheet->about()->text();
        EXPECT_TRUE(about.contains(QString::fromStdString(core->settingsPath()))) << about.toStdString();
        EXPECT_TRUE(about.contains(QString::fromStdString(core->trackFolderOrDefault())));
        EXPECT_TRUE(about.contains(QStringLiteral("Movira")));
        EXPECT_TRUE(about.contains(ru ? QStringLiteral("Лицензия") : QStringLiteral("Licence")));
    }
}

TEST_F(OptionsSheetTest, OpensWithTheCoresValues) {
    makeCore(kSettings);
    auto sheet = open();
    const CommonPage& c = *sheet->commonPage();
    EXPECT_TRUE(c.comButton()->isChecked());
    EXPECT_EQ(c.selectedPort(), QStringLiteral("/dev/ttyUSB1"));
    EXPECT_EQ(c.portList()->itemText(c.portList()->findData(QStringLiteral("/dev/ttyUSB0"))),
              QStringLiteral("/dev/ttyUSB0 — u-blox 7"));
    EXPECT_EQ(c.speedList()->currentText(), QStringLiteral("9600"));
    EXPECT_TRUE(c.kmlBox()->isChecked());
    EXPECT_FALSE(c.gpxBox()->isChecked());
    EXPECT_EQ(c.folderEdit()->text().toStdString(), (home / "Tracks").string());
    const EventsPage& e = *sheet->eventsPage();
    EXPECT_TRUE(e.beepOnStop()->isChecked());
    const int limits[] = {55, 90, 130}, bands[] = {7, 5, 12};
    const bool uses[] = {true, false, true};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(e.limit(i)->value(), limits[i]);
        EXPECT_EQ(e.band(i)->value(), bands[i]);
        EXPECT_EQ(e.beepOnSpeed(i)->isChecked(), uses[i]);
    }
    const SmsPage& s = *sheet->smsPage();
    EXPECT_EQ(s.addresses()->text(), QStringLiteral("+7900,+7901"));
    EXPECT_EQ(s.text()->toPlainText(), QStringLiteral("hello %Speed%"));
    EXPECT_EQ(s.interval()->value(), 15);
    EXPECT_TRUE(s.sendEvery()->isChecked());
    EXPECT_TRUE(s.sendIfChanged()->isChecked());
}

TEST_F(OptionsSheetTest, TheSpeedListHoldsEverySpeedTheReaderSetsAndEachSurvivesApply) {
    for (const int speed : {38400, 115200, 300, 57600, NoValueInt, 12345}) {
        makeCore("[Main]\nUseGPSAPI=false\nCOMPortBaudRate=" + std::to_string(speed) + "\n");
        auto sheet = open();
        const QComboBox* speeds = sheet->commonPage()->speedList();
        EXPECT_EQ(comboTexts(speeds), QStringList({"Auto", "300", "2400", "4800", "9600", "19200", "38400", "57600",
                                                   "115200"}));
        const bool listed = speed > 0 && speed != 12345;
        EXPECT_EQ(speeds->currentIndex() == 0, !listed) << speed;
        sheet->applyButton()->click();
        EXPECT_EQ(sheet->result(), OptionsSheet::Applied);
        EXPECT_EQ(core->baudRate(), listed ? speed : NoValueInt) << speed;
        core->shutdown();
        core.reset();
    }
}

TEST_F(OptionsSheetTest, ApplyCopiesEveryPageAndWritesTheSettingsFileAtOnce) {
    makeCore(kSettings);
    auto sheet = open();
    CommonPage& c = *sheet->commonPage();
    c.gpsApiButton()->setChecked(true);
    c.portList()->setCurrentIndex(c.portList()->findData(QStringLiteral("/dev/ttyUSB0")));
    c.speedList()->setCurrentIndex(c.speedList()->findText(QStringLiteral("115200")));
    c.kmlBox()->setChecked(false);
    c.gpxBox()->setChecked(true);
    c.folderEdit()->setText(QString::fromStdString((home / "Trips").string()));
    EventsPage& e = *sheet->eventsPage();
    e.beepOnStop()->setChecked(false);
    e.limit(1)->setValue(70);
    e.band(1)->setValue(3);
    e.beepOnSpeed(1)->setChecked(true);
    SmsPage& s = *sheet->smsPage();
    s.addresses()->setText(QStringLiteral("+7902"));
    s.text()->setPlainText(QStringLiteral("at %Time%"));
    s.interval()->setValue(30);
    s.sendEvery()->setChecked(false);

    sheet->applyButton()->click();
    EXPECT_EQ(sheet->result(), OptionsSheet::Applied);
    EXPECT_TRUE(core->useGpsApi());
    EXPECT_EQ(core->comPortName(), "/dev/ttyUSB0");
    EXPECT_EQ(core->baudRate(), 115200);
    EXPECT_FALSE(core->enableKmlTrack());
    EXPECT_TRUE(core->enableGpxTrack());
    EXPECT_EQ(core->getTrackFolder(), (home / "Trips").string());
    EXPECT_FALSE(core->alarms().beepOnZero());
    EXPECT_EQ(core->alarms().limit(1), 70);
    EXPECT_EQ(core->alarms().band(1), 3);
    EXPECT_TRUE(core->alarms().useSound(1));
    EXPECT_EQ(core->alarms().limit(0), 55);  // untouched rows keep their values
    EXPECT_EQ(core->sms().addresses(), "+7902");
    EXPECT_EQ(core->sms().text(), "at %Time%");
    EXPECT_EQ(core->sms().interval(), 30);
    EXPECT_FALSE(core->sms().send());

    // On disk already, while the program runs: a power cut now keeps it.
    IniFile written;
    ASSERT_TRUE(written.load(settingsPath().string()));
    EXPECT_EQ(written.getValue("COMPort", "Main"), "/dev/ttyUSB0");
    EXPECT_EQ(written.getValue("COMPortBaudRate", "Main"), "115200");
    EXPECT_EQ(written.getValue("UseGPSAPI", "Main"), "true");
    EXPECT_EQ(written.getValue("Limit2", "Events"), "70");
    EXPECT_EQ(written.getValue("Address", "SMS"), "+7902");
}

TEST_F(OptionsSheetTest, CancelChangesNothingAndATabChangeKeepsTheEdits) {
    makeCore(kSettings);
    const std::string fileBefore = settingsFile();
    auto sheet = open();
    CommonPage& c = *sheet->commonPage();
    c.gpsApiButton()->setChecked(true);
    c.speedList()->setCurrentIndex(0);
    sheet->eventsPage()->limit(0)->setValue(99);
    sheet->smsPage()->addresses()->setText(QStringLiteral("+1"));
    for (int tab : {1, 2, 3, 0, 2}) sheet->tabs()->setCurrentIndex(tab);
    EXPECT_TRUE(c.gpsApiButton()->isChecked());
    EXPECT_EQ(c.speedList()->currentIndex(), 0);
    EXPECT_EQ(sheet->eventsPage()->limit(0)->value(), 99);
    EXPECT_EQ(sheet->smsPage()->addresses()->text(), QStringLiteral("+1"));

    sheet->cancelButton()->click();
    EXPECT_EQ(sheet->result(), OptionsSheet::Cancelled);
    EXPECT_FALSE(core->useGpsApi());
    EXPECT_EQ(core->baudRate(), 9600);
    EXPECT_EQ(core->alarms().limit(0), 55);
    EXPECT_EQ(core->sms().addresses(), "+7900,+7901");
    EXPECT_EQ(settingsFile(), fileBefore);
    // Opening and cancelling does not turn the default track folder into a fixed one.
    core->saveSettings();
    IniFile written;
    ASSERT_TRUE(written.load(settingsPath().string()));
    EXPECT_EQ(written.getValue("TrackFolder", "Main"), "");
}

TEST_F(OptionsSheetTest, KeysApplyAndCancel) {
    const struct {
        Qt::Key key;
        int result;
    } keys[] = {{Qt::Key_Launch0, OptionsSheet::Applied}, {Qt::Key_Return, OptionsSheet::Applied},
                {Qt::Key_Enter, OptionsSheet::Applied}, {Qt::Key_Launch1, OptionsSheet::Cancelled},
                {Qt::Key_Escape, OptionsSheet::Cancelled}};
    makeCore(kSettings);
    for (const auto& k : keys) {
        auto sheet = open();
        sheet->eventsPage()->limit(2)->setValue(131);
        sheet->applyButton()->setFocus();
        QTest::keyClick(sheet.get(), k.key);
        EXPECT_EQ(sheet->result(), k.result) << k.key;
        EXPECT_EQ(core->alarms().limit(2), k.result == OptionsSheet::Applied ? 131 : 130);
        core->alarms().setEntry(2, 130, 12, true);
    }
}

TEST_F(OptionsSheetTest, NumberFieldsKeepToTheirRanges) {
    makeCore();
    auto sheet = open();
    EventsPage& e = *sheet->eventsPage();
    const struct {
        StepperField* field;
        int minimum, maximum;
    } fields[] = {{e.limit(0), 1, 1000}, {e.limit(1), 1, 1000}, {e.limit(2), 1, 1000}, {e.band(0), 1, 100},
                  {e.band(1), 1, 100},   {e.band(2), 1, 100},   {sheet->smsPage()->interval(), 1, 1440}};
    for (const auto& f : fields) {
        EXPECT_EQ(f.field->spinBox()->minimum(), f.minimum);
        EXPECT_EQ(f.field->spinBox()->maximum(), f.maximum);
        f.field->setValue(f.maximum);
        f.field->upButton()->click();
        EXPECT_EQ(f.field->value(), f.maximum);
        f.field->setValue(f.minimum);
        f.field->downButton()->click();
        EXPECT_EQ(f.field->value(), f.minimum);
        f.field->upButton()->click();
        EXPECT_EQ(f.field->value(), f.minimum + 1);
    }
}

TEST_F(OptionsSheetTest, ThePortListComesFromTheSerialFolderAndKeepsAMissingConfiguredPort) {
    PseudoTerminal a, b;
    ASSERT_TRUE(a.ok() && b.ok());
    const fs::path folder = home / "serial";
    fs::create_directories(folder);
    fs::create_symlink(b.path(), folder / "gps-b");
    fs::create_symlink(a.path(), folder / "gps-a");
    const std::string missing = (folder / "gps-gone").string();
    makeCore("[Main]\nUseGPSAPI=false\nCOMPort=" + missing + "\n");
    setenv("MOVIRA_SERIAL_DIR", folder.c_str(), 1);
    SysfsSerialPortLister machine;
    unsetenv("MOVIRA_SERIAL_DIR");
    OptionsSheet sheet(core.get(), nullptr, &machine, Language::English);
    const QComboBox* ports = sheet.commonPage()->portList();
    const int ia = ports->findData(QString::fromStdString((folder / "gps-a").string()));
    const int ib = ports->findData(QString::fromStdString((folder / "gps-b").string()));
    const int im = ports->findData(QString::fromStdString(missing));
    ASSERT_GE(ia, 0);
    ASSERT_GE(ib, 0);
    ASSERT_GE(im, 0);
    EXPECT_LT(ia, ib);
    EXPECT_EQ(ib + 1, im);
    EXPECT_EQ(ports->itemText(im), QString::fromStdString(missing) + QStringLiteral(" (missing)"));
    EXPECT_EQ(ports->currentIndex(), im);
    sheet.applyButton()->click();
    EXPECT_EQ(core->comPortName(), missing);
}

TEST_F(OptionsSheetTest, ATagGoesInAtTheCaretReplacingTheSelection) {
    makeCore("[SMS]\nText=ab cd\n");
    for (const Language language : {Language::English, Language::Russian}) {
        auto sheet = open(language);
        sheet->tabs()->setCurrentIndex(2);
        SmsPage& s = *sheet->smsPage();
        QTextCursor caret = s.text()->textCursor();
        caret.setPosition(2);
        s.text()->setTextCursor(caret);
        QTreeWidget* tags = s.tags();
        const QRect speed = tags->visualItemRect(tags->topLevelItem(2));
        // A double tap as a touch screen delivers it: press, release, then the second press.
        QTest::mousePress(tags->viewport(), Qt::LeftButton, {}, speed.center());
        QTest::mouseRelease(tags->viewport(), Qt::LeftButton, {}, speed.center());
        QTest::mouseDClick(tags->viewport(), Qt::LeftButton, {}, speed.center());
        const bool ru = language == Language::Russian;
        EXPECT_EQ(s.text()->toPlainText(), ru ? QStringLiteral("abскорость '%Speed%' cd") : QStringLiteral("abspeed '%Speed%' cd"));
        caret = s.text()->textCursor();
        caret.setPosition(0);
        caret.setPosition(2, QTextCursor::KeepAnchor);
        s.text()->setTextCursor(caret);
        s.insertTag(6);
        EXPECT_TRUE(s.text()->toPlainText().startsWith(ru ? QStringLiteral("я здесь '%GoogleMaps%'скорость")
                                                           : QStringLiteral("I'm here '%GoogleMaps%'speed")));
    }
}

TEST_F(OptionsSheetTest, LongCyrillicTextsAreRefusedWholeNeverCutInsideACharacter) {
    const QString ya = QStringLiteral("я");
    const std::string longText = (ya.repeated(300)).toStdString();  // 600 bytes from the file
    makeCore("[SMS]\nText=" + longText + "\nAddress=" + ya.repeated(255).toStdString() + "\n");
    auto sheet = open();
    SmsPage& s = *sheet->smsPage();
    // Typing past 255 characters is refused as a whole, visibly: the text stays as it was.
    s.addresses()->setFocus();
    s.addresses()->end(false);
    QTest::sendKeyEvent(QTest::Click, s.addresses(), Qt::Key_unknown, QStringLiteral("ж"), Qt::NoModifier);
    EXPECT_EQ(s.addresses()->text(), ya.repeated(255));
    // A text longer than the field, read from the file, is kept whole and may be shortened.
    EXPECT_EQ(s.text()->toPlainText(), ya.repeated(300));
    s.insertTag(0);
    EXPECT_EQ(s.text()->toPlainText(), ya.repeated(300));
    s.text()->setFocus();
    s.text()->moveCursor(QTextCursor::End);
    QTest::keyClick(s.text(), Qt::Key_Backspace);
    EXPECT_EQ(s.text()->toPlainText(), ya.repeated(299));
    // A character outside the basic plane counts once and is never split.
    CommonPage& c = *sheet->commonPage();
    const QString face = QString::fromUcs4(U"\U0001F600");
    c.folderEdit()->setText(ya.repeated(254));
    c.folderEdit()->insert(face);
    EXPECT_EQ(TextLimit::characterCount(c.folderEdit()->text()), 255);
    c.folderEdit()->insert(face);
    EXPECT_EQ(c.folderEdit()->text(), ya.repeated(254) + face);
    sheet->applyButton()->click();
    EXPECT_EQ(core->sms().text(), ya.repeated(299).toStdString());
    EXPECT_EQ(core->sms().addresses(), ya.repeated(255).toStdString());
    EXPECT_EQ(core->getTrackFolder(), (ya.repeated(254) + face).toStdString());
}

TEST_F(OptionsSheetTest, ShowOptionsOpensTheSheetOnceAndAClosingWindowEndsItUnapplied) {
    std::ofstream(settingsPath()) << kSettings;
    MainFrame frame(
        [this] {
            auto made = std::make_unique<AppCore>(PlatformServices{clock, screen, battery, "/nonexistent"});
            made->initialize(home.string());
            return made;
        },
        std::string());
    frame.resize(480, 800);
    frame.show();
    frame.startInitialisation();
    ASSERT_TRUE(waitFor([&] { return frame.core() != nullptr; }));
    WhenShown<OptionsSheet> opened([&](OptionsSheet& sheet) {
        sheet.eventsPage()->limit(0)->setValue(33);
        frame.post(UserCommand::ShowOptions);  // a second tap while it is open opens no second one
        waitFor([] { return false; }, 200);
        EXPECT_EQ(QApplication::activeModalWidget(), &sheet);
        frame.close();  // a signal from outside closes the program the normal way
    });
    frame.post(UserCommand::ShowOptions);
    ASSERT_TRUE(waitFor([&] { return opened.done() && frame.optionsSheet() == nullptr; }));
    EXPECT_EQ(frame.core()->alarms().limit(0), 55);
}

// Every control a finger works is at least 40 pixels high, carries a name, and Tab walks the
// page from the top down.
TEST_F(OptionsSheetTest, MadeForFingersAtEveryScreenSize) {
    makeCore(kSettings);
    for (const QSize size : {QSize(480, 800), QSize(800, 480), QSize(240, 320)}) {
      for (const Language language : {Language::English, Language::Russian}) {
        OptionsSheet sheet(core.get(), nullptr, &lister, language);
        sheet.setWindowState(Qt::WindowNoState);  // as on a screen of that size
        sheet.resize(size);
        sheet.show();
        for (int tab = 0; tab < 3; ++tab) {
            sheet.tabs()->setCurrentIndex(tab);
            QCoreApplication::processEvents();
            auto* area = qobject_cast<QScrollArea*>(sheet.tabs()->currentWidget());
            ASSERT_NE(area, nullptr);
            QWidget* page = area->widget();
            EXPECT_LE(page->width(), area->viewport()->width()) << "no sideways scrolling at " << size.width();
            std::vector<QWidget*> chain;
            for (QWidget* w = page->nextInFocusChain(); w != page && chain.size() < 100; w = w->nextInFocusChain()) {
                // A spin box's own line edit is part of it: the box counts.
                const bool proxy = qobject_cast<QAbstractSpinBox*>(w->parentWidget()) != nullptr;
                if (page->isAncestorOf(w) && w->isVisible() && (w->focusPolicy() & Qt::TabFocus) && !proxy) {
                    chain.push_back(w);
                }
            }
            ASSERT_FALSE(chain.empty());
            QPoint previous(-1, -1);
            for (QWidget* w : chain) {
                EXPECT_GE(w->height(), 40) << w->metaObject()->className() << " " << w->accessibleName().toStdString();
                EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
                const QPoint at = w->mapTo(page, QPoint(0, 0));
                // Screen order: down the page, and left to right within a row.
                EXPECT_TRUE(at.y() > previous.y() + 5 || (std::abs(at.y() - previous.y()) <= 5 && at.x() > previous.x()))
                    << w->accessibleName().toStdString();
                previous = at;
            }
        }
        for (QPushButton* button : {sheet.applyButton(), sheet.cancelButton()}) EXPECT_GE(button->height(), 40);
        EXPECT_GE(sheet.tabs()->tabBar()->height(), 40);
        EXPECT_EQ(sheet.size(), size);
      }
    }
}

// A settings file that could not be written is named on the About page, with the reason.
TEST_F(OptionsSheetTest, AboutNamesTheLastFailureToSave) {
    makeCore("");
    const std::filesystem::path settings = home / "Speedometer.ini";
    std::filesystem::remove(settings);
    std::filesystem::create_directory(settings);  // the rename over it fails
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(core->saveSettings());
    ::testing::internal::GetCapturedStderr();
    const QString about = open()->about()->text();
    EXPECT_TRUE(about.contains(QStringLiteral("Last failure to save: cannot write the settings file ") +
                               QString::fromStdString(settings.string()) + QStringLiteral(": Is a directory")))
        << about.toStdString();
    std::filesystem::remove(settings);
}

}  // namespace
}  // namespace movira::test
