#include "batch.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

void runInParallel(size_t count, int threads, const std::function<void(size_t)>& work) {
    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1))
            work(i);
    };
    const size_t extra = std::min(count, static_cast<size_t>(std::max(threads, 1))) - (count > 0 ? 1 : 0);
    std::vector<std::thread> pool;
    for (size_t t = 0; t < extra; ++t)
        pool.emplace_back(worker);
    worker();
    for (auto& thread : pool)
        thread.join();
}

int defaultJobCount() {
    unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(cores) : 1;
}
