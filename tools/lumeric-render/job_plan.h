// Turns the inputs and -o into render jobs, refusing up front anything that would fail or overwrite.
#pragma once

#include <string>
#include <vector>

#include "options.h"
#include "render_job.h"

struct JobPlan {
    std::vector<RenderJob> jobs;
    std::string folderToCreate; // the output folder when it does not exist yet
};

// False with a one-line message; nothing is created or written either way.
bool planJobs(const RenderOptions& options, JobPlan& plan, std::string* error);
