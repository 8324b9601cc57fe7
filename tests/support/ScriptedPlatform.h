#pragma once

#include "platform/Platform.h"

#include <vector>

namespace fr::test {

// A platform whose answers the test sets, and which records instead of exiting.
class ScriptedPlatform : public Platform {
public:
    QString name = QStringLiteral("Linux 6.1.0 (Debian GNU/Linux 12 (bookworm))");
    QString family = QStringLiteral("NT");
    bool admin = true;
    std::vector<int> exitCodes;
    std::vector<QString> filesRun;
    std::vector<bool> priorities; // every idle (true) or normal (false) request
    bool priorityRefused = false;
    int powerOffs = 0;
    std::vector<std::pair<QString, bool>> autostarts; // program, enabled

    QString osName() const override { return name; }
    QString osFamily() const override { return family; }
    bool isAdmin() const override { return admin; }
    void exitNow(int code) override { exitCodes.push_back(code); }
    void runFile(const QString& path, bool) override { filesRun.push_back(path); }
    bool setIdlePriority(bool idle) override {
        priorities.push_back(idle);
        return !priorityRefused;
    }
    void powerOff() override { ++powerOffs; }
    QString setAutostart(const QString&, const QString& program, bool enabled) override {
        autostarts.emplace_back(program, enabled);
        return {};
    }
};

} // namespace fr::test
