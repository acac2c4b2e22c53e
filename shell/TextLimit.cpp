#include "shell/TextLimit.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace movira {

TextLimit::TextLimit(QLineEdit* edit, int maxCharacters) : QObject(edit), max_(maxCharacters) {
    text_ = [edit] { return edit->text(); };
    cursor_ = [edit] { return edit->cursorPosition(); };
    restore_ = [edit](const QString& text, int cursor) {
        edit->setText(text);
        edit->setCursorPosition(cursor);
    };
    accepted_ = edit->text();
    connect(edit, &QLineEdit::textChanged, this, &TextLimit::onChanged);
    connect(edit, &QLineEdit::cursorPositionChanged, this, [this] {
        if (!restoring_ && text_() == accepted_) acceptedCursor_ = cursor_();
    });
}

TextLimit::TextLimit(QPlainTextEdit* edit, int maxCharacters) : QObject(edit), max_(maxCharacters) {
    text_ = [edit] { return edit->toPlainText(); };
    cursor_ = [edit] { return edit->textCursor().position(); };
    restore_ = [edit](const QString& text, int cursor) {
        edit->setPlainText(text);
        QTextCursor caret = edit->textCursor();
        caret.setPosition(std::min(cursor, static_cast<int>(text.size())));
        edit->setTextCursor(caret);
    };
    accepted_ = edit->toPlainText();
    connect(edit, &QPlainTextEdit::textChanged, this, &TextLimit::onChanged);
    connect(edit, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        if (!restoring_ && text_() == accepted_) acceptedCursor_ = cursor_();
    });
}

int TextLimit::characterCount(const QString& text) {
    int count = 0;
    for (const QChar c : text) {
        if (!c.isLowSurrogate()) ++count;  // a pair is one character
    }
    return count;
}

bool TextLimit::allows(const QString& text) const {
    const int count = characterCount(text);
    return count <= max_ || count <= characterCount(accepted_);
}

void TextLimit::onChanged() {
    if (restoring_) return;
    const QString text = text_();
    if (allows(text)) {
        accepted_ = text;
        acceptedCursor_ = cursor_();
        return;
    }
    restoring_ = true;
    restore_(accepted_, acceptedCursor_);
    restoring_ = false;
    QApplication::beep();
}

}  // namespace movira
