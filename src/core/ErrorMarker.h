#pragma once

#include <QString>
#include <mutex>

namespace fr {

// Job-wide mark that a read failed during the job. Empty at a job's start; "CHYBA" once any
// place could not be read, set when the job's end reaches the main thread; read and cleared
// by the job monitor. Safe to use from any thread.
class ErrorMarker {
public:
    static constexpr const char* kReadFailed = "CHYBA";

    void setReadFailed() { set(QLatin1String(kReadFailed)); }
    bool readFailed() const { return value() == QLatin1String(kReadFailed); }
    void clear() { set(QString()); }

    QString value() const {
        std::lock_guard lock(mutex_);
        return value_;
    }
    void set(const QString& value) {
        std::lock_guard lock(mutex_);
        value_ = value;
    }

private:
    mutable std::mutex mutex_;
    QString value_;
};

} // namespace fr
