#pragma once

#include <functional>

namespace fr {

// How a worker hands a report to the main thread: the page's own `post` (queued on the page,
// so a report for a page that is gone is dropped).
using PostToMainThread = std::function<void(std::function<void()>)>;

// Runs `work` through `post`. Without one (the tests' and the bench's workers), it is queued
// on the application object, or run at once when there is no application at all.
void postReport(const PostToMainThread& post, std::function<void()> work);

} // namespace fr
