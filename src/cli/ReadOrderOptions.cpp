#include "cli/ReadOrderOptions.h"

#include "cli/Arguments.h"
#include "cli/ExitStatus.h"
#include "cli/Session.h"

namespace fr::cli {

namespace {

// The number of further passes over unreadable places, or -1 when the text is none.
int retriesOf(const QString& text) {
    bool isNumber = false;
    const int retries = text.toInt(&isNumber);
    return isNumber && retries >= 0 && retries <= kMostRetries ? retries : -1;
}

} // namespace

ReadOrder readOrderOf(const Arguments& arguments) {
    ReadOrder order;
    order.goodDataFirst = !arguments.has(QStringLiteral("no-skip"));
    order.reverse = arguments.has(QStringLiteral("reverse"));
    if (arguments.hasValue(QStringLiteral("retries")))
        order.retries = std::max(retriesOf(arguments.value(QStringLiteral("retries"))), 0);
    return order;
}

int checkReadOrder(const Session& session) {
    const Arguments& arguments = session.arguments();
    if (arguments.hasValue(QStringLiteral("retries")) &&
        retriesOf(arguments.value(QStringLiteral("retries"))) < 0)
        return session.refuse(QStringLiteral("--retries %1: the retries are a number from 0 to %2")
                                  .arg(arguments.value(QStringLiteral("retries")))
                                  .arg(kMostRetries));
    if (arguments.has(QStringLiteral("reverse")) && arguments.has(QStringLiteral("no-skip")))
        return session.refuse(QStringLiteral("--reverse and --no-skip: the step-by-step order "
                                             "reads forwards only"));
    return kDone;
}

} // namespace fr::cli
