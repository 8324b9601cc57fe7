#pragma once

namespace fr::cli {

class Session;

// resume: lists the journal's entries, numbered from 1. resume N: finishes entry N, a file
// copy or an image job, with the journal page's checks and questions.
int resumeCommand(Session& session);

} // namespace fr::cli
