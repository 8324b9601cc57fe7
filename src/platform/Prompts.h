#pragma once

#include <QString>

namespace fr {

enum class PromptKind { Information, Warning, Error, Confirmation };
enum class PromptButtons { Ok, YesNo };
enum class PromptAnswer { Ok, Yes, No };

// The program's modal message boxes. Every question and report to the user goes through
// here, so that tests can read what was said and answer it.
class Prompts {
public:
    virtual ~Prompts() = default;

    // Shows the text and waits for the answer. Line breaks may be written "\r" or "\n".
    virtual PromptAnswer show(PromptKind kind, const QString& text, PromptButtons buttons) = 0;

    void information(const QString& text) {
        show(PromptKind::Information, text, PromptButtons::Ok);
    }
    void warning(const QString& text) { show(PromptKind::Warning, text, PromptButtons::Ok); }
    void error(const QString& text) { show(PromptKind::Error, text, PromptButtons::Ok); }
    // A confirmation goes ahead only on Yes.
    bool confirm(const QString& text) {
        return show(PromptKind::Confirmation, text, PromptButtons::YesNo) == PromptAnswer::Yes;
    }
};

} // namespace fr
