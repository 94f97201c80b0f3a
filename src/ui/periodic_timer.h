#pragma once

#include <QObject>
#include <chrono>
#include <memory>

class QSocketNotifier;

// A timer on an absolute schedule: tick n is due at start + n × period, however late the
// thread woke for the ticks before, so the mean interval is the period, without drift.
// Ticks that came due while the thread was busy are not made up: however many expired since
// the last one, one tick() is emitted. A kernel timerfd watched by the owning thread's event
// loop; owning thread only.
class PeriodicTimer : public QObject {
    Q_OBJECT
public:
    explicit PeriodicTimer(QObject* parent = nullptr);  // throws std::system_error
    ~PeriodicTimer() override;

    // The first tick is due one period from now; a running schedule is replaced.
    void Start(std::chrono::milliseconds period);
    void Stop();
    bool IsActive() const { return m_active; }

signals:
    void tick();

private:
    void Arm(std::chrono::milliseconds period);
    void OnExpired();

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_active = false;
};
