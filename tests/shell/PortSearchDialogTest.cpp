// The port search dialog on pseudo-terminals: progress and title on the port that answers,
// Cancel answered no and then yes, the port of the running reader, and the Common page's
// Search with its messages.
#include "shell/PortSearchDialog.h"

#include "shell/CommonPage.h"
#include "shell/OptionsSheet.h"
#include "tests/shell/DialogDriver.h"
#include "tests/shell/OptionsTestBed.h"
#include "tests/support/PseudoTerminal.h"

#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace movira::test {
namespace {

using namespace std::chrono_literals;

constexpr char kRmc[] = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";

class PortSearchDialogTest : public OptionsTestBed {
protected:
    void makePorts(int count) {
        for (int i = 0; i < count; ++i) {
            terminals.push_back(std::make_unique<PseudoTerminal>());
            ASSERT_TRUE(terminals.back()->ok());
            paths.push_back(terminals.back()->path());
        }
    }
    std::vector<std::unique_ptr<PseudoTerminal>> terminals;
    std::vector<std::string> paths;
};

TEST_F(PortSearchDialogTest, TheReceiverOnTheFourthPortEndsTheSearchThere) {
    makePorts(5);
    terminals[3]->write(kRmc);
    for (const bool russian : {false, true}) {
        PortSearchDialog dialog(paths, russian, nullptr, SerialPort::create, 200ms);
        EXPECT_EQ(dialog.exec(), PortSearchDialog::Found);
        EXPECT_EQ(dialog.foundPort().toStdString(), paths[3]);
        EXPECT_EQ(dialog.progressBar()->value(), 4);
        EXPECT_EQ(dialog.progressBar()->maximum(), 5);
        EXPECT_EQ(dialog.windowTitle(), (russian ? QStringLiteral("Поиск порта ... ") : QStringLiteral("Finding port ... ")) +
                                            QString::fromStdString(paths[3]));
        EXPECT_EQ(dialog.cancelButton()->text(), russian ? QStringLiteral("Отмена") : QStringLiteral("Cancel"));
        EXPECT_GE(dialog.cancelButton()->height(), 40);
        terminals[3]->write(kRmc);  // for the second run
    }
}

TEST_F(PortSearchDialogTest, CancelAnsweredNoGoesOnAndYesEndsWithoutAPort) {
    makePorts(3);  // all silent: the search would take a while
    PortSearchDialog dialog(paths, false, nullptr, SerialPort::create, 5s);
    int portWhenAsked = -1;
    BoxAnswers answers({QMessageBox::No, QMessageBox::Yes});
    answers.whileOpen = [&] {
        portWhenAsked = dialog.progressBar()->value();
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        for (QAbstractButton* button : box->buttons()) EXPECT_GE(button->height(), 40) << "a finger answers it";
    };
    QTimer::singleShot(100, &dialog, [&] { dialog.cancelButton()->click(); });
    QTimer::singleShot(400, &dialog, [&] { dialog.cancelButton()->click(); });
    QElapsedTimer took;
    took.start();
    EXPECT_EQ(dialog.exec(), PortSearchDialog::NotFound);
    EXPECT_LT(took.elapsed(), 3000);  // ended by the answer, not by the ports' waits
    ASSERT_EQ(answers.seen().size(), 2u);
    for (const auto& seen : answers.seen()) {
        EXPECT_EQ(seen.title, QStringLiteral("Finding port"));
        EXPECT_EQ(seen.text, QStringLiteral("Stop finding?"));
    }
    EXPECT_EQ(portWhenAsked, 1);
    EXPECT_TRUE(dialog.foundPort().isEmpty());
}

TEST_F(PortSearchDialogTest, ThePortOfTheRunningReaderIsSkipped) {
    makePorts(2);
    terminals[0]->write(std::string(kRmc) + kRmc);
    terminals[1]->write(kRmc);
    makeCore("[Main]\nUseGPSAPI=false\nCOMPort=" + paths[0] + "\n", true);
    ASSERT_TRUE(core->isReaderRunning());
    PortSearchDialog dialog(paths, false, nullptr, SerialPort::create, 500ms);
    EXPECT_EQ(dialog.exec(), PortSearchDialog::Found);
    EXPECT_EQ(dialog.foundPort().toStdString(), paths[1]);
    EXPECT_TRUE(core->isReaderRunning());
}

TEST_F(PortSearchDialogTest, SearchOnTheCommonPageSelectsThePortAndSaysSo) {
    makePorts(3);
    terminals[2]->write(kRmc);
    makeCore("[Main]\nUseGPSAPI=true\nCOMPortBaudRate=4800\n");
    for (const auto& path : paths) lister.list.push_back({path, ""});
    OptionsSheet sheet(core.get(), nullptr, &lister, UiText::Language::Russian);
    CommonPage& page = *sheet.commonPage();
    page.searchSilenceLimit = 200ms;
    {
        BoxAnswers answers({QMessageBox::Ok});
        page.searchButton()->click();
        ASSERT_EQ(answers.seen().size(), 1u);
        EXPECT_EQ(answers.seen()[0].title, QStringLiteral("Поиск порта"));
        EXPECT_EQ(answers.seen()[0].text, QStringLiteral("Порт найден ") + QString::fromStdString(paths[2]));
    }
    EXPECT_EQ(page.selectedPort().toStdString(), paths[2]);
    EXPECT_EQ(page.speedList()->currentText(), QStringLiteral("4800"));  // the search selects the port only
    EXPECT_TRUE(core->comPortName().empty());                             // nothing changes until Apply
    EXPECT_TRUE(core->useGpsApi());
    {
        BoxAnswers answers({QMessageBox::Ok});
        page.searchButton()->click();  // the receiver said all it had: now nothing answers
        ASSERT_EQ(answers.seen().size(), 1u);
        EXPECT_EQ(answers.seen()[0].text, QStringLiteral("Не удалось найти порт"));
    }
    EXPECT_EQ(sheet.result(), 0);  // the sheet stays open: only Apply or Cancel end it
}

}  // namespace
}  // namespace movira::test
