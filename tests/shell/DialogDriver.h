// Drives modal dialogs from a test: runs the event loop until something holds, and answers
// message boxes (in the order given) as soon as they are shown, remembering what they said.
#pragma once

#include "tests/support/QtEventually.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

#include <deque>
#include <functional>

namespace movira::test {

class BoxAnswers {
public:
    struct Seen {
        QString title;
        QString text;
    };

    explicit BoxAnswers(std::deque<QMessageBox::StandardButton> answers) : answers_(std::move(answers)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer(); });
        timer_.start();
    }
    const std::vector<Seen>& seen() const { return seen_; }
    // Runs before each answer: what the test wants to look at while the box is open.
    std::function<void()> whileOpen;

private:
    void answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        seen_.push_back({box->windowTitle(), box->text()});
        if (whileOpen) whileOpen();
        QMessageBox::StandardButton button = QMessageBox::Ok;
        if (!answers_.empty()) {
            button = answers_.front();
            answers_.pop_front();
        }
        if (QAbstractButton* choice = box->button(button)) {
            choice->click();
        } else {
            box->reject();
        }
    }

    std::deque<QMessageBox::StandardButton> answers_;
    QTimer timer_;
    std::vector<Seen> seen_;
};

// Runs `action` on the first visible modal dialog of type T (once), from inside its own loop.
template <class T>
class WhenShown {
public:
    explicit WhenShown(std::function<void(T&)> action) : action_(std::move(action)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible() || done_) return;
            done_ = true;
            timer_.stop();
            action_(*dialog);
        });
        timer_.start();
    }
    bool done() const { return done_; }

private:
    std::function<void(T&)> action_;
    QTimer timer_;
    bool done_ = false;
};

}  // namespace movira::test
