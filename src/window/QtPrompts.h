#pragma once

#include "platform/Prompts.h"

namespace fr {

// Message boxes on screen, owned by the program's active window and titled like it.
class QtPrompts : public Prompts {
public:
    PromptAnswer show(PromptKind kind, const QString& text, PromptButtons buttons) override;
};

} // namespace fr
