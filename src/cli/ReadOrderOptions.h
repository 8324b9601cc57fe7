#pragma once

#include "core/ReadOrder.h"

namespace fr::cli {

struct Arguments;
class Session;

// --retries N, --reverse and --no-skip: the order in which a copy or an image job reads. The
// result is the same in every order; they change how soon the readable data are in hand and
// how often a damaged place is read.
ReadOrder readOrderOf(const Arguments& arguments);
// Refuses a --retries that is not a number from 0 to kMostRetries, naming it, before anything
// is done; kDone otherwise.
int checkReadOrder(const Session& session);

constexpr int kMostRetries = 1000;

} // namespace fr::cli
