#pragma once

#include <QString>

namespace fr::test {

// An image file mounted on a folder through a loop device, taken off again when it goes out
// of scope. Needs root; check available() first.
class LoopMount {
public:
    LoopMount(const QString& image, const QString& folder);
    ~LoopMount();
    LoopMount(const LoopMount&) = delete;
    LoopMount& operator=(const LoopMount&) = delete;

    static bool available(QString* reason = nullptr);
    bool mounted() const { return mounted_; }
    // What mount said when it failed.
    const QString& error() const { return error_; }

private:
    QString folder_;
    bool mounted_ = false;
    QString error_;
};

} // namespace fr::test
