#pragma once

#include "platform/Prompts.h"

#include <QString>
#include <functional>

namespace fr::cli {

// The program's messages and questions on a terminal: messages go to standard error, a
// question is asked there and answered with "y" on standard input. With --yes every question
// is answered yes; without a terminal to ask on, and without --yes, it is answered no, and the
// message says that --yes would have answered it.
class TerminalPrompts : public Prompts {
public:
    // `quiet`: a question --yes answers is not shown (a message or a question asked is).
    explicit TerminalPrompts(bool assumeYes, bool quiet = false)
        : assumeYes_(assumeYes), quiet_(quiet) {}

    PromptAnswer show(PromptKind kind, const QString& text, PromptButtons buttons) override;

    // Hears each message and each question with how it was answered, as the user was told,
    // for the account a script reads at the end.
    void setListener(std::function<void(const QString&)> listener) {
        listener_ = std::move(listener);
    }

    // A question was answered no because nobody could be asked.
    bool unanswered() const { return unanswered_; }

    static bool inputIsTerminal();

private:
    bool assumeYes_;
    bool quiet_ = false;
    bool unanswered_ = false;
    std::function<void(const QString&)> listener_;
};

// A language text as one or more lines of a terminal: its "\r" separators become line ends.
QString terminalText(const QString& text);

} // namespace fr::cli
