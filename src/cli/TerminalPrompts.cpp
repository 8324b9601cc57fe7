#include "cli/TerminalPrompts.h"

#include "platform/FileName.h"

#include <cstdio>
#include <unistd.h>

namespace fr::cli {

namespace {

void writeError(const QString& text) {
    // A question names files by their bytes, as the terminal shows them.
    std::fputs(fileNameBytes(text).constData(), stderr);
    std::fflush(stderr);
}

// One line of standard input, without its line end; empty at its end.
QString readAnswer() {
    char line[256];
    if (!std::fgets(line, sizeof line, stdin))
        return {};
    return QString::fromLocal8Bit(line).trimmed();
}

} // namespace

QString terminalText(const QString& text) {
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    lines.replace('\r', '\n');
    return lines;
}

bool TerminalPrompts::inputIsTerminal() {
    return ::isatty(STDIN_FILENO) == 1;
}

PromptAnswer TerminalPrompts::show(PromptKind kind, const QString& text, PromptButtons buttons) {
    const QString lines = terminalText(text);
    const auto heard = [this](const QString& account) {
        if (listener_)
            listener_(account);
    };
    if (buttons == PromptButtons::Ok) {
        const char* heading = kind == PromptKind::Error     ? "error: "
                              : kind == PromptKind::Warning ? "warning: "
                                                            : "";
        heard(QLatin1String(heading) + lines);
        writeError(QStringLiteral("fragmentrove-cli: ") + QLatin1String(heading) + lines + '\n');
        return PromptAnswer::Ok;
    }
    if (assumeYes_) {
        heard(lines + QStringLiteral(" yes (--yes)"));
        if (!quiet_)
            writeError(lines + QStringLiteral(" yes (--yes)\n"));
        return PromptAnswer::Yes;
    }
    if (!inputIsTerminal()) {
        unanswered_ = true;
        const QString notAsked =
            QStringLiteral("not asked, standard input is not a terminal; give --yes to answer yes");
        heard(lines + QStringLiteral(" (") + notAsked + ')');
        writeError(lines + QStringLiteral("\nfragmentrove-cli: ") + notAsked + '\n');
        return PromptAnswer::No;
    }
    writeError(lines + QStringLiteral(" [y/N] "));
    const QString answer = readAnswer().toLower();
    const bool yes = answer == QLatin1String("y") || answer == QLatin1String("yes");
    heard(lines + (yes ? QStringLiteral(" yes") : QStringLiteral(" no")));
    return yes ? PromptAnswer::Yes : PromptAnswer::No;
}

} // namespace fr::cli
