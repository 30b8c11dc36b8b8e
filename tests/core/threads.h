// Runs a test's work on several threads at once, for the core tests.
#pragma once

#include <atomic>
#include <thread>
#include <vector>

// Runs f(t) for t in [0, n) on n threads that start together, so that their calls
// overlap, and waits for all of them.
template <class F> void onThreads(int n, F f) {
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < n; ++t)
        threads.emplace_back([&, t] {
            for (++ready; ready < n;)
                std::this_thread::yield();
            f(t);
        });
    for (auto& t : threads)
        t.join();
}
