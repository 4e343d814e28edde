#pragma once

#include "notify/AlarmNotifier.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pelimo::test {

// The alarm notifier as a test of the watch list sees it: what the list hands over, whatever
// the settings would let out.
class RecordingNotifier final : public AlarmNotifier {
public:
    void showAlert(std::string_view titleSjis, const std::string& textSjis, const ItemInfo& first,
                   int32_t count, AlarmKind kind) override
    {
        alertKinds.push_back(kind);
        alertCounts.push_back(count);
        alertTitles.emplace_back(titleSjis);
        balloons.push_back(textSjis);
        balloonItems.push_back(first.ItemNo);
    }
    void sendAlarms(const AlarmBatch& alarms) override
    {
        batches.push_back(alarms);
        mails.push_back(alarms.text);
    }

    std::vector<std::string> alertTitles;
    std::vector<std::string> balloons;
    std::vector<std::string> balloonItems;
    std::vector<AlarmKind> alertKinds;
    std::vector<int32_t> alertCounts;
    std::vector<AlarmBatch> batches;
    std::vector<std::string> mails; // each batch's text
};

} // namespace pelimo::test
