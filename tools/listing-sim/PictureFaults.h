#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace pelimo::sim {

// How the picture of a listing misbehaves.
enum class PictureFault {
    None,
    Large,    // a well-formed PNG of over 3 MiB, its length announced
    NotImage, // 200 with an HTML page
    Corrupt,  // image/png, but the file cut in the middle of its data
    Slow,     // the picture after a pause
    Missing,  // 404
};

std::optional<PictureFault> pictureFaultNamed(std::string_view name);

// The picture faults set through the control endpoint: one for every picture, and one per
// listing that wins over it. Not thread-safe: the server guards it.
class PictureFaults {
public:
    struct Plan {
        PictureFault fault = PictureFault::None;
        int pauseMs = 0; // for Slow
    };

    // count: the next requests it applies to (absent: until changed). An empty itemNo sets
    // the fault of every picture.
    void set(const std::string& itemNo, PictureFault fault, std::optional<int> count, int pauseMs);
    void clear();

    // The fault for the next request of the listing's picture, counted as used.
    Plan take(const std::string& itemNo);

private:
    struct Setting {
        Plan plan;
        int left = -1; // requests it still applies to; -1 = until changed
    };
    static Plan use(Setting& setting);

    Setting everyPicture;
    std::map<std::string, Setting> perListing;
};

} // namespace pelimo::sim
