#include "bench/history/YearOfHistory.h"

#include "HistoryBenchTexts.h"
#include "bench/support/Measure.h"
#include "history/HistoryStore.h"
#include "history/SqliteStatement.h"
#include "history/SqliteTransaction.h"
#include "platform/text/NormalizedTitle.h"
#include "platform/text/SjisText.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>

namespace pelimo::history_bench {

double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double processorMilliseconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

namespace {

int64_t seconds(HistoryTime t)
{
    return t.time_since_epoch().count();
}

std::vector<std::string> splitWords(const std::string& text)
{
    std::vector<std::string> words;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

struct Generator {
    std::mt19937_64 random{20250301};
    std::vector<std::string> words = splitWords(platform::sjisToUtf8(history_bench_text::kTitleWords));
    std::vector<std::string> keywords = splitWords(platform::sjisToUtf8(history_bench_text::kKeywords));

    std::string title(int n)
    {
        std::string t;
        const int count = 4 + static_cast<int>(random() % 4);
        for (int i = 0; i < count; ++i)
            t += words[random() % words.size()] + " ";
        return t + "No." + std::to_string(n);
    }
    int64_t interval(std::chrono::seconds mean)
    {
        std::exponential_distribution<double> d(1.0 / static_cast<double>(mean.count()));
        return std::max<int64_t>(1, static_cast<int64_t>(d(random)));
    }
};

} // namespace

// Writes the year straight into the store's tables, in one transaction through prepared
// statements, as the store would have written it poll by poll.
bool generateYear(const std::string& path, std::vector<std::string>& watchedTitles)
{
    {
        HistoryStore store([] { return kYearEnd; });
        if (store.open(path, 365).outcome != HistoryFileOpen::Outcome::opened)
            return false;
    }
    SqliteDatabase db;
    if (!db.open(path, SqliteDatabase::Mode::readWrite).ok())
        return false;
    db.exec("PRAGMA journal_mode = WAL");
    Generator g;
    SqliteTransaction transaction(db);
    SqliteStatement search = db.prepare("INSERT INTO searches (id, keyword) VALUES (?1, ?2)");
    SqliteStatement listing = db.prepare(
        "INSERT INTO listings (id, item_no, title, title_key, auction_type, image_url, origin_search, "
        "first_seen, "
        "last_seen, last_price, last_bids, last_remain, ends_at, oldest_observation, ended_at, final_price, "
        "final_bids, confirmed) VALUES (?1, ?2, ?3, ?4, 'NO', ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?7, ?13, "
        "CASE WHEN ?13 IS NULL THEN NULL ELSE ?9 END, CASE WHEN ?13 IS NULL THEN NULL ELSE ?10 END, ?14)");
    SqliteStatement observation = db.prepare(
        "INSERT INTO observations (listing_id, at, price, bids, remain) VALUES (?1, ?2, ?3, ?4, ?5)");
    SqliteStatement foundBy = db.prepare("INSERT INTO found_by (search_id, listing_id) VALUES (?1, ?2)");
    const std::string remain = platform::sjisToUtf8(history_bench_text::kRemainDays);
    for (size_t k = 0; k < g.keywords.size(); ++k)
        search.bind(1, static_cast<int64_t>(k + 1)).bind(2, g.keywords[k]).run();

    const int64_t start = seconds(kYearStart);
    const int64_t end = seconds(kYearEnd);
    const int64_t poll = std::chrono::seconds(kPoll).count();
    for (int n = 1; n <= kWatched + kEnded; ++n) {
        const bool watched = n <= kWatched;
        const std::string title = g.title(n);
        if (watched)
            watchedTitles.push_back(platform::utf8ToSjis(title));
        // Watched listings live the whole year; ended ones a week somewhere in it.
        const int64_t first =
            watched ? start : start + static_cast<int64_t>(g.random() % (end - start - 8 * 86400));
        const int64_t last = watched ? end : first + 7 * 86400;
        const std::chrono::seconds mean = n == 1 ? std::chrono::seconds((end - start) / kChartObservations)
                                                 : std::chrono::seconds(watched ? kMeanChange : 48h);
        int64_t price = 1000 + static_cast<int64_t>(g.random() % 50000);
        int64_t bids = 0;
        for (int64_t at = first; at <= last;) {
            observation.bind(1, int64_t{n}).bind(2, at).bind(3, price).bind(4, bids).bind(5, remain);
            if (observation.run() != 0)
                return false;
            // The next change falls on a poll.
            at += std::max(poll, g.interval(mean) / poll * poll);
            price += 100 + static_cast<int64_t>(g.random() % 1000);
            ++bids;
        }
        const std::optional<int64_t> origin =
            watched || n % 3 == 0 ? std::nullopt : std::optional<int64_t>(1 + n % g.keywords.size());
        listing.bind(1, int64_t{n})
            .bind(2, "x" + std::to_string(1000000000 + n))
            .bind(3, title)
            .bind(4, normalizedTitle(platform::utf8ToSjis(title)))
            .bind(5, "http://127.0.0.1:8931/img/" + std::to_string(n) + ".jpg")
            .bind(6, origin)
            .bind(7, first)
            .bind(8, last)
            .bind(9, price)
            .bind(10, bids)
            .bind(11, remain)
            .bind(12, last + 3 * 86400);
        listing.bind(13, watched ? std::nullopt : std::optional<int64_t>(last))
            .bind(14, watched ? std::nullopt : std::optional<int64_t>(n % 5 != 0));
        if (listing.run() != 0)
            return false;
        if (origin && foundBy.bind(1, *origin).bind(2, int64_t{n}).run() != 0)
            return false;
    }
    if (!transaction.commit().ok())
        return false;
    db.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    return true;
}

void printOnce(const char* what, const Run& run)
{
    std::printf("%-46s %9.1f ms  (processor %8.1f ms)\n", what, run.wall, run.processor);
}

void printRuns(const char* what, const std::vector<Run>& runs, const char* goal)
{
    std::vector<double> wall, processor;
    for (const Run& r : runs) {
        wall.push_back(r.wall);
        processor.push_back(r.processor);
    }
    std::printf("%-46s median %8.2f ms, longest %8.2f ms  (processor: median %7.2f ms, longest %7.2f ms; %zu "
                "runs)%s%s\n",
                what, bench::median(wall), *std::max_element(wall.begin(), wall.end()),
                bench::median(processor), *std::max_element(processor.begin(), processor.end()), runs.size(),
                goal[0] ? "  goal: " : "", goal);
}

} // namespace pelimo::history_bench
