#include "tools/listing-sim/Vocabulary.h"

#include "ListingSimTexts.h"
#include "platform/text/SjisText.h"

namespace pelimo::sim {
namespace {

std::string utf8(const char* sjis)
{
    return platform::sjisToUtf8(sjis);
}

std::vector<std::string> wordList(const char* sjis)
{
    std::vector<std::string> words;
    const std::string all = utf8(sjis);
    size_t start = 0;
    while (start <= all.size()) {
        const size_t bar = all.find('|', start);
        const size_t end = bar == std::string::npos ? all.size() : bar;
        if (end > start)
            words.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

} // namespace

Vocabulary::Vocabulary()
    : goods(wordList(texts::kGoods)), origins(wordList(texts::kOrigins)),
      conditions(wordList(texts::kConditions)), extras(wordList(texts::kExtras)),
      hitsFiller(utf8(texts::kHitsFiller)), yen(utf8(texts::kYen)), days(utf8(texts::kDays)),
      hours(utf8(texts::kHours)), minutes(utf8(texts::kMinutes)), seconds(utf8(texts::kSeconds)),
      pagePrice(utf8(texts::kPagePrice)), pageType(utf8(texts::kPageType)),
      pageRemain(utf8(texts::kPageRemain)), pageBids(utf8(texts::kPageBids)),
      pageUnits(utf8(texts::kPageUnits)), pageNotFound(utf8(texts::kPageNotFound)),
      ended(utf8(texts::kEnded)), serverError(utf8(texts::kServerError)), labelNO(utf8(texts::kLabelNO)),
      labelPA(utf8(texts::kLabelPA)), labelFL(utf8(texts::kLabelFL)), labelFP(utf8(texts::kLabelFP)),
      labelGB(utf8(texts::kLabelGB)), labelUnknown(utf8(texts::kLabelUnknown))
{}

std::string_view Vocabulary::typeLabel(std::string_view code) const
{
    if (code == "NO")
        return labelNO;
    if (code == "PA")
        return labelPA;
    if (code == "FL")
        return labelFL;
    if (code == "FP")
        return labelFP;
    if (code == "GB")
        return labelGB;
    return labelUnknown;
}

} // namespace pelimo::sim
