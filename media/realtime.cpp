#include "media/realtime.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QLoggingCategory>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcRealtime, "vantiro.realtime", QtInfoMsg)

namespace realtime {

namespace {

// RealtimeKit grants only to a process that bounds its real-time CPU time,
// so that a runaway thread cannot freeze the machine: past the bound the
// kernel sends SIGXCPU, then SIGKILL.
bool boundRealtimeCpu()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_RTTIME, &limit) != 0)
        return false;
    constexpr rlim_t bound = 200000; // µs of real-time CPU without a sleep
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < bound)
        return limit.rlim_cur <= limit.rlim_max;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur <= bound)
        return true;
    limit.rlim_cur = bound;
    return setrlimit(RLIMIT_RTTIME, &limit) == 0;
}

bool askRealtimeKit(int priority)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || !boundRealtimeCpu())
        return false;
    QDBusInterface kit(QStringLiteral("org.freedesktop.RealtimeKit1"), QStringLiteral("/org/freedesktop/RealtimeKit1"),
                       QStringLiteral("org.freedesktop.RealtimeKit1"), bus);
    if (!kit.isValid())
        return false;
    const QDBusReply<void> reply = kit.call(QStringLiteral("MakeThreadRealtime"),
                                            quint64(syscall(SYS_gettid)), quint32(priority));
    return reply.isValid();
}

} // namespace

bool requestForThisThread(int priority)
{
    sched_param param{};
    param.sched_priority = priority;
    if (pthread_setschedparam(pthread_self(), SCHED_RR | SCHED_RESET_ON_FORK, &param) == 0) {
        qCDebug(lcRealtime) << "real-time priority" << priority << "granted";
        return true;
    }
    const bool granted = askRealtimeKit(priority);
    qCDebug(lcRealtime) << (granted ? "real-time priority granted by RealtimeKit" : "no real-time priority");
    return granted;
}

} // namespace realtime
