// Runs independent jobs on a few worker threads, each taking the next job as it becomes free.
#pragma once

#include <cstddef>
#include <functional>

// Calls work(i) once for every i < count on at most `threads` threads; returns when all are done.
void runInParallel(size_t count, int threads, const std::function<void(size_t)>& work);
// The default number of parallel files: the number of cores.
int defaultJobCount();
