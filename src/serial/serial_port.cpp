#include "serial/serial_port.h"

#include <pthread.h>

#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace {

// Ports being closed on their own thread: opening one of them waits until it is closed.
struct Closing {
    std::mutex mutex;
    std::condition_variable done;
    std::set<std::string> paths;
};

Closing& ClosingPorts() {
    // Never destroyed: a closer thread may still be at work while the program exits.
    static Closing& closing = *new Closing;
    return closing;
}

}  // namespace

void ClosePortLater(std::unique_ptr<SerialPort> port) {
    if (!port) return;
    Closing& c = ClosingPorts();
    const std::string path = port->Path();
    {
        std::lock_guard lock(c.mutex);
        c.paths.insert(path);
    }
    std::thread([port = std::move(port), path, &c]() mutable {
        pthread_setname_np(pthread_self(), "corvala-close");
        port.reset();
        {
            std::lock_guard lock(c.mutex);
            c.paths.erase(path);
        }
        c.done.notify_all();
    }).detach();
}

void WaitWhilePortCloses(const std::string& path, std::chrono::milliseconds limit) {
    Closing& c = ClosingPorts();
    std::unique_lock lock(c.mutex);
    c.done.wait_for(lock, limit, [&] { return !c.paths.contains(path); });
}
