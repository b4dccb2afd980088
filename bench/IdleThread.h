// A thread that does nothing until it is destroyed: what an application with
// threads looks like to the library (its heap lock and its events' atomics
// are skipped only while a process has one thread).
#ifndef KVOR_BENCH_IDLE_THREAD_H
#define KVOR_BENCH_IDLE_THREAD_H

#include <condition_variable>
#include <mutex>
#include <thread>

namespace kvorbench {

class IdleThread {
public:
    IdleThread()
        : m_thread([this] {
              std::unique_lock<std::mutex> lock(m_mutex);
              m_wake.wait(lock, [this] { return m_done; });
          })
    {
    }
    ~IdleThread()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    IdleThread(const IdleThread&) = delete;
    IdleThread& operator=(const IdleThread&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    std::thread m_thread;
};

} // namespace kvorbench

#endif // KVOR_BENCH_IDLE_THREAD_H
