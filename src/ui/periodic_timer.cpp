#include "ui/periodic_timer.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <system_error>

PeriodicTimer::PeriodicTimer(QObject* parent) : QObject(parent) {
    m_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd < 0) throw std::system_error(errno, std::generic_category(), "timerfd_create");
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &PeriodicTimer::OnExpired);
}

PeriodicTimer::~PeriodicTimer() {
    m_notifier.reset();
    close(m_fd);
}

void PeriodicTimer::Start(std::chrono::milliseconds period) {
    Arm(period);
    m_active = true;
}

void PeriodicTimer::Stop() {
    Arm(std::chrono::milliseconds::zero());
    m_active = false;
}

// The kernel moves a periodic timerfd's expiry on by whole intervals from the previous
// expiry, not from when it was read: that is the absolute schedule. Re-arming (or
// disarming) also discards expirations not yet read, so no tick of an old schedule follows.
void PeriodicTimer::Arm(std::chrono::milliseconds period) {
    const auto s = std::chrono::duration_cast<std::chrono::seconds>(period);
    const timespec interval{static_cast<time_t>(s.count()),
                            static_cast<long>(std::chrono::nanoseconds(period - s).count())};
    const itimerspec schedule{interval, interval};
    timerfd_settime(m_fd, 0, &schedule, nullptr);  // cannot fail for our fd and a valid time
}

void PeriodicTimer::OnExpired() {
    uint64_t expirations = 0;
    // EAGAIN: the schedule was replaced after the notifier saw the expiry.
    if (read(m_fd, &expirations, sizeof expirations) != sizeof expirations || !m_active) return;
    emit tick();
}
