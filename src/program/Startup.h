#pragma once

#include <QString>
#include <QStringList>
#include <memory>

namespace fr {

struct ProgramContext;
class SingleInstance;

// The program's entry sequence up to the windows: settings, language table, the check of
// the user's rights and the guard against a second copy. The windows are made by the
// caller when run() says to go on.
class Startup {
public:
    Startup(ProgramContext& context, QString runtimeDir);

    struct Outcome {
        bool proceed = false;
        int exitCode = 0;
        // Held for the whole run when proceeding: it keeps other copies out.
        std::unique_ptr<SingleInstance> instance;
    };

    Outcome run();

    // How long a second copy waits for the first to come forward.
    static constexpr int kHandOffTimeoutMs = 3000;

private:
    Outcome fail(const QString& reason);

    ProgramContext& context_;
    QString runtimeDir_;
};

// Reports a file that keeps the program from starting: a message box and one line on
// standard error, both naming the file and the reason.
void reportStartupFailure(ProgramContext& context, const QString& reason);

} // namespace fr
