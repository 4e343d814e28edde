#pragma once

#include "xmlclient/ServicePause.h"

#include <chrono>

namespace pelimo::test {

// The process's record of paused services on clocks the test moves, starting from the real
// time; when it goes, the record is back on the real clocks and every service may be asked.
class ServicePauseClock {
public:
    ServicePauseClock()
    {
        ServicePause::shared().clear();
        ServicePause::shared().setClocks([this] { return steady; }, [this] { return wall; });
    }
    ~ServicePauseClock()
    {
        ServicePause::shared().setClocks({}, {});
        ServicePause::shared().clear();
    }
    ServicePauseClock(const ServicePauseClock&) = delete;
    ServicePauseClock& operator=(const ServicePauseClock&) = delete;

    void advance(std::chrono::milliseconds by)
    {
        steady += by;
        wall += by;
    }

    std::chrono::steady_clock::time_point steady = std::chrono::steady_clock::now();
    std::chrono::system_clock::time_point wall = std::chrono::system_clock::now();
};

} // namespace pelimo::test
