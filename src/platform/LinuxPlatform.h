#pragma once

#include "platform/Platform.h"

namespace fr {

// The platform as it really is on this machine.
class LinuxPlatform : public Platform {
public:
    QString osName() const override;
    QString osFamily() const override { return QStringLiteral("NT"); }
    bool isAdmin() const override;
    void exitNow(int code) override;
    void runFile(const QString& path, bool hidden) override;
    bool setIdlePriority(bool idle) override;
    void powerOff() override;
    QString setAutostart(const QString& name, const QString& program, bool enabled) override;
};

} // namespace fr
