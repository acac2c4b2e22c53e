#include "shell/PortSearchDialog.h"

#include "shell/Fingers.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace movira {

PortSearchDialog::PortSearchDialog(std::vector<std::string> ports, bool russian, QWidget* parent,
                                   PortSearch::PortFactory makePort, std::chrono::milliseconds silenceLimit)
    : QDialog(parent), russian_(russian), search_(std::move(ports), std::move(makePort), silenceLimit),
      progress_(new QProgressBar(this)), cancel_(new QPushButton(russian ? QStringLiteral("Отмена") : QStringLiteral("Cancel"), this)) {
    setModal(true);
    setWindowTitle(caption(russian));
    setStyleSheet(QString::fromLatin1(Fingers::styleSheet()));
    auto* layout = new QVBoxLayout(this);
    progress_->setRange(0, static_cast<int>(search_.portCount()));
    progress_->setValue(0);
    progress_->setTextVisible(true);
    progress_->setFormat(QStringLiteral("%v / %m"));
    progress_->setAccessibleName(caption(russian));
    Fingers::fit(progress_);
    cancel_->setAccessibleName(cancel_->text());
    cancel_->setAutoDefault(false);
    Fingers::fit(cancel_);
    layout->addWidget(progress_);
    layout->addWidget(cancel_, 0, Qt::AlignHCenter);
    connect(cancel_, &QPushButton::clicked, this, &PortSearchDialog::askToStop);
    stepper_.setInterval(0);
    connect(&stepper_, &QTimer::timeout, this, &PortSearchDialog::runSteps);
}

QString PortSearchDialog::titlePrefix(bool russian) {
    return russian ? QStringLiteral("Поиск порта ... ") : QStringLiteral("Finding port ... ");
}
QString PortSearchDialog::stopQuestion(bool russian) {
    return russian ? QStringLiteral("Остановить поиск?") : QStringLiteral("Stop finding?");
}
QString PortSearchDialog::caption(bool russian) {
    return russian ? QStringLiteral("Поиск порта") : QStringLiteral("Finding port");
}

QString PortSearchDialog::foundPort() const { return QString::fromStdString(search_.foundPort()); }

void PortSearchDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (search_.finished()) {
        // No ports at all: over at once.
        QTimer::singleShot(0, this, [this] { done(search_.foundPort().empty() ? NotFound : Found); });
        return;
    }
    showCurrentPort();
    stepper_.start();
}

void PortSearchDialog::showCurrentPort() {
    progress_->setValue(static_cast<int>(search_.currentIndex()) + 1);
    setWindowTitle(titlePrefix(russian_) + QString::fromStdString(search_.currentPort()));
}

void PortSearchDialog::runSteps() {
    // A few steps per turn of the event loop, never longer than about one step's wait.
    QElapsedTimer turn;
    turn.start();
    do {
        const bool goesOn = search_.step(StepWait);
        if (!search_.finished()) showCurrentPort();
        if (!goesOn) {
            stepper_.stop();
            done(search_.foundPort().empty() ? NotFound : Found);
            return;
        }
    } while (turn.elapsed() < StepWait.count());
}

void PortSearchDialog::askToStop() {
    if (asking_ || search_.finished()) return;
    asking_ = true;
    stepper_.stop();  // the search waits for the answer
    QMessageBox box(QMessageBox::Question, caption(russian_), stopQuestion(russian_),
                    QMessageBox::Yes | QMessageBox::No, this);
    const bool stop = box.exec() == QMessageBox::Yes;
    asking_ = false;
    if (stop) {
        search_.cancel();
        done(NotFound);
    } else if (!search_.finished() && isVisible()) {
        stepper_.start();
    }
}

void PortSearchDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Launch1) {
        askToStop();
        return;
    }
    QDialog::keyPressEvent(event);
}

void PortSearchDialog::reject() { askToStop(); }

}  // namespace movira
