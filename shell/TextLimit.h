// Keeps a text field within a number of characters (code points, so a character is never
// cut in two): an edit that would make the text longer than the limit is refused as a whole,
// with a beep. A longer text put in by the program (one read from the settings) stays whole,
// and may still be shortened by the user.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLineEdit;
class QPlainTextEdit;

namespace movira {

class TextLimit final : public QObject {
    Q_OBJECT

public:
    TextLimit(QLineEdit* edit, int maxCharacters);
    TextLimit(QPlainTextEdit* edit, int maxCharacters);

    static int characterCount(const QString& text);
    // Whether `text` could replace the current text.
    bool allows(const QString& text) const;
    int maxCharacters() const { return max_; }

private:
    void onChanged();

    const int max_;
    std::function<QString()> text_;
    std::function<void(const QString&, int)> restore_;
    std::function<int()> cursor_;
    QString accepted_;
    int acceptedCursor_ = 0;
    bool restoring_ = false;
};

}  // namespace movira
