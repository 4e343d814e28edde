#pragma once

#include <cstdint>
#include <optional>

namespace pelimo {

// Which of a view's background reads is the one to show. Showing the view again while a read
// is under way asks for none (the one under way brings what is there now); a reload because
// the source changed always asks for one, and whatever an earlier read brings back then is
// stale and is dropped.
class LatestRead {
public:
    using Ticket = uint64_t;

    // A read because the view is shown; none while one is under way.
    std::optional<Ticket> beginOnShow()
    {
        if (pending)
            return std::nullopt;
        return begin();
    }
    // A read because the source changed.
    Ticket begin()
    {
        pending = true;
        return ++latest;
    }
    // The read's result arrived: true when it is the latest asked for and should be shown.
    bool finish(Ticket ticket)
    {
        if (ticket != latest)
            return false;
        pending = false;
        return true;
    }
    bool underWay() const { return pending; }

private:
    Ticket latest = 0;
    bool pending = false;
};

} // namespace pelimo
