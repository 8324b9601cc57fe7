#pragma once

namespace fr::cli {

class Session;

// register: lists the register of damaged media, numbered from 1. register add DRIVE
// [--note TEXT]: enters the medium in the drive. register remove N: takes entry N out.
int registerCommand(Session& session);

} // namespace fr::cli
