// The small modal dialog of the port search: a progress bar over the ports, the title naming the
// port being tried, and Cancel, which asks "Stop finding?". The search runs in short steps on
// the UI thread between the dialog's events (each read waits at most StepWait), so the dialog
// never freezes and the running GPS reader is not disturbed.
#pragma once

#include "core/PortSearch.h"

#include <QDialog>
#include <QTimer>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

class QProgressBar;
class QPushButton;

namespace movira {

class PortSearchDialog final : public QDialog {
    Q_OBJECT

public:
    enum Result { Found = 1, NotFound = 2 };
    static constexpr std::chrono::milliseconds StepWait{20};

    PortSearchDialog(std::vector<std::string> ports, bool russian, QWidget* parent = nullptr,
                     PortSearch::PortFactory makePort = SerialPort::create,
                     std::chrono::milliseconds silenceLimit = PortSearch::DefaultSilenceLimit);

    static QString titlePrefix(bool russian);
    static QString stopQuestion(bool russian);
    static QString caption(bool russian);

    // Valid after Found.
    QString foundPort() const;
    int foundSpeed() const { return search_.foundSpeed(); }
    QProgressBar* progressBar() const { return progress_; }
    QPushButton* cancelButton() const { return cancel_; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

public:
    // Escape, the cancel key and closing the window ask, as Cancel does.
    void reject() override;

private:
    void runSteps();
    void askToStop();
    void showCurrentPort();

    const bool russian_;
    PortSearch search_;
    QProgressBar* progress_;
    QPushButton* cancel_;
    QTimer stepper_;
    bool asking_ = false;
};

}  // namespace movira
