// The listings' pictures and their faults: the part of the server the client's picture
// column, tooltips and notifications talk to.
#include "tools/listing-sim/ListingPicture.h"
#include "tools/listing-sim/RequestParams.h"
#include "tools/listing-sim/SimServer.h"

#include <algorithm>
#include <cstdio>

namespace pelimo::sim {
namespace {

constexpr const char* kPngType = "image/png";
constexpr int kDefaultPictureDelayMs = 2000;
constexpr size_t kStreamBlock = 64 * 1024;

std::string entityTag(const std::string& bytes)
{
    uint64_t h = 1469598103934665603ULL; // FNV-1a
    for (const unsigned char c : bytes)
        h = (h ^ c) * 1099511628211ULL;
    char text[24];
    std::snprintf(text, sizeof text, "\"%016llx\"", static_cast<unsigned long long>(h));
    return text;
}

// RFC 9110 section 13.1.2: the tag among the listed ones, or "*".
bool tagListed(const std::string& ifNoneMatch, const std::string& tag)
{
    return ifNoneMatch.find(tag) != std::string::npos || ifNoneMatch.find('*') != std::string::npos;
}

std::string notFoundHtml()
{
    return "<!DOCTYPE html>\n<html><head><title>404 Not Found</title></head>"
           "<body><h1>404 Not Found</h1></body></html>\n";
}

std::string notAnImageHtml()
{
    return "<!DOCTYPE html>\n<html><head><title>image</title></head>"
           "<body><p>This is a page, not a picture.</p></body></html>\n";
}

} // namespace

void SimServer::pictureRoutes()
{
    http.Get(R"(/img/(.+)\.(png|jpg))",
             [this](const httplib::Request& req, httplib::Response& res) { servePicture(req, res); });
    http.Get("/sim/picturefault", [this](const httplib::Request& req, httplib::Response& res) {
        const auto fault = pictureFaultNamed(req.get_param_value("mode"));
        const auto count = numberParam(req, "count");
        const auto ms = numberParam(req, "ms");
        if (!fault || (req.has_param("count") && (!count || *count < 1)) ||
            (req.has_param("ms") && (!ms || *ms < 0 || *ms > 600000)))
            return plainAnswer(res, "bad picture fault\n", 400);
        std::lock_guard lock(mutex);
        pictureFaults.set(utf8Param(req, "ItemNo"), *fault,
                          count ? std::optional(static_cast<int>(std::min<int64_t>(*count, 1000000)))
                                : std::nullopt,
                          ms ? static_cast<int>(*ms) : kDefaultPictureDelayMs);
        plainAnswer(res, "ok\n");
    });
    http.Get("/sim/requests/pictures", [this](const httplib::Request&, httplib::Response& res) {
        std::lock_guard lock(mutex);
        plainAnswer(res, pictureLog.raw());
    });
}

void SimServer::servePicture(const httplib::Request& req, httplib::Response& res)
{
    const std::string itemNo = req.matches[1];
    PictureFaults::Plan plan;
    bool known = false;
    {
        std::lock_guard lock(mutex);
        pictureLog.add(req.target);
        // Ended listings keep their pictures, as the site keeps their pages.
        known = store->status(itemNo, currentTime()).state != ListingStatus::State::Unknown;
        if (known)
            plan = pictureFaults.take(itemNo);
    }
    if (!known || plan.fault == PictureFault::Missing) {
        res.status = 404;
        res.set_content(notFoundHtml(), "text/html; charset=utf-8");
        return;
    }
    if (plan.fault == PictureFault::Slow && !pause(plan.pauseMs)) {
        res.status = 503;
        return;
    }

    switch (plan.fault) {
    case PictureFault::Large: {
        const std::string& big = oversizedPicture();
        res.set_content_provider(
            big.size(), kPngType, [this, &big](size_t offset, size_t length, httplib::DataSink& sink) {
                return !stopping && sink.write(big.data() + offset, std::min(length, kStreamBlock));
            });
        return;
    }
    case PictureFault::NotImage:
        res.set_content(notAnImageHtml(), "text/html; charset=utf-8");
        return;
    case PictureFault::Corrupt: {
        std::string cut = listingPicture(itemNo);
        cut.resize(cut.size() / 2);
        res.set_content(cut, kPngType);
        return;
    }
    case PictureFault::None:
    case PictureFault::Slow:
    case PictureFault::Missing:
        break;
    }

    // The picture never changes: a client may keep it and ask again with its tag or date.
    std::string png = listingPicture(itemNo);
    const std::string tag = entityTag(png);
    res.set_header("ETag", tag);
    res.set_header("Last-Modified", picturesModified);
    res.set_header("Cache-Control", "max-age=86400");
    const bool unchanged = req.has_header("If-None-Match")
                               ? tagListed(req.get_header_value("If-None-Match"), tag)
                               : req.get_header_value("If-Modified-Since") == picturesModified;
    if (unchanged) {
        res.status = 304;
        return;
    }
    res.set_content(png, kPngType);
}

} // namespace pelimo::sim
