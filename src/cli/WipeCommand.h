#pragma once

namespace fr::cli {

class Session;

// wipe FILE: overwrites the file three times and deletes it, after a question.
int wipeCommand(Session& session);

} // namespace fr::cli
