// Definition of RunOnThreads (declared in Measures.h).
#pragma once

#include <thread>
#include <vector>

namespace zylbench {

template <typename Body> void RunOnThreads(int count, Body body) {
  std::vector<std::thread> threads;
  threads.reserve(static_cast<std::size_t>(count));
  for (int index = 0; index < count; ++index)
    threads.emplace_back([&body, index] { body(index); });
  for (std::thread& thread : threads)
    thread.join();
}

} // namespace zylbench
