// The options' SMS page: the numbers, periodic sending with its interval, the message text, and
// the list of tags whose snippet a double tap puts in the text at the caret.
#pragma once

#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTreeWidget;

namespace movira {

class AppCore;
class StepperField;

class SmsPage final : public QWidget {
    Q_OBJECT

public:
    static constexpr int MaxAddressCharacters = 255;
    static constexpr int MaxTextCharacters = 255;
    static constexpr int MinInterval = 1, MaxInterval = 1440;  // minutes

    struct Tag {
        const char* english;
        const char* russian;
        const char* englishSnippet;
        const char* russianSnippet;
    };
    static const Tag Tags[7];

    SmsPage(AppCore* core, bool russian, QWidget* parent = nullptr);
    void apply();
    // Puts the snippet of tag `index` into the text at the caret, replacing the selection.
    void insertTag(int index);

    QLabel* addressLabel() const { return addressLabel_; }
    QLineEdit* addresses() const { return addresses_; }
    QCheckBox* sendEvery() const { return send_; }
    StepperField* interval() const { return interval_; }
    QLabel* minutesLabel() const { return minutes_; }
    QCheckBox* sendIfChanged() const { return ifChanged_; }
    QLabel* textLabel() const { return textLabel_; }
    QPlainTextEdit* text() const { return text_; }
    QTreeWidget* tags() const { return tags_; }

private:
    AppCore* const core_;
    const bool russian_;
    QLabel* addressLabel_;
    QLineEdit* addresses_;
    QCheckBox* send_;
    StepperField* interval_;
    QLabel* minutes_;
    QCheckBox* ifChanged_;
    QLabel* textLabel_;
    QPlainTextEdit* text_;
    QTreeWidget* tags_;
};

}  // namespace movira
