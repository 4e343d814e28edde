#include "tools/listing-sim/PictureFaults.h"

#include <array>
#include <utility>

namespace pelimo::sim {

std::optional<PictureFault> pictureFaultNamed(std::string_view name)
{
    static constexpr std::array<std::pair<std::string_view, PictureFault>, 6> names = {{
        {"none", PictureFault::None},
        {"large", PictureFault::Large},
        {"notimage", PictureFault::NotImage},
        {"corrupt", PictureFault::Corrupt},
        {"slow", PictureFault::Slow},
        {"missing", PictureFault::Missing},
    }};
    for (const auto& [text, fault] : names)
        if (text == name)
            return fault;
    return std::nullopt;
}

void PictureFaults::set(const std::string& itemNo, PictureFault fault, std::optional<int> count, int pauseMs)
{
    Setting setting{{fault, pauseMs}, count.value_or(-1)};
    if (itemNo.empty())
        everyPicture = setting;
    else if (fault == PictureFault::None)
        perListing.erase(itemNo);
    else
        perListing[itemNo] = setting;
}

void PictureFaults::clear()
{
    everyPicture = {};
    perListing.clear();
}

PictureFaults::Plan PictureFaults::use(Setting& setting)
{
    const Plan plan = setting.plan;
    if (setting.left > 0 && --setting.left == 0)
        setting = {};
    return plan;
}

PictureFaults::Plan PictureFaults::take(const std::string& itemNo)
{
    if (const auto own = perListing.find(itemNo); own != perListing.end()) {
        const Plan plan = use(own->second);
        if (own->second.plan.fault == PictureFault::None)
            perListing.erase(own);
        return plan;
    }
    return use(everyPicture);
}

} // namespace pelimo::sim
