#pragma once

#include "platform/Prompts.h"

#include <deque>
#include <vector>

namespace fr::test {

// Message boxes that a test reads and answers. A question nobody scripted an answer for is
// answered No, so an unexpected question never lets an action go ahead.
class ScriptedPrompts : public Prompts {
public:
    struct Shown {
        PromptKind kind;
        QString text;
        PromptButtons buttons;
    };
    std::vector<Shown> shown;
    std::deque<PromptAnswer> answers;

    PromptAnswer show(PromptKind kind, const QString& text, PromptButtons buttons) override {
        shown.push_back({kind, text, buttons});
        if (buttons == PromptButtons::Ok)
            return PromptAnswer::Ok;
        if (answers.empty())
            return PromptAnswer::No;
        const PromptAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

} // namespace fr::test
