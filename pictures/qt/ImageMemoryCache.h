#pragma once

#include <QImage>
#include <cstddef>
#include <list>
#include <string>
#include <unordered_map>

namespace pelimo::pictures {

// Decoded pictures by address within a bound of bytes; past it, those used least recently go.
class ImageMemoryCache {
public:
    explicit ImageMemoryCache(size_t bound) : bound(bound) {}

    // The picture, which then counts as used now; a null image when it is not held.
    QImage find(const std::string& address);
    bool contains(const std::string& address) const { return index.contains(address); }
    void insert(const std::string& address, QImage image);
    void remove(const std::string& address);

    size_t bytes() const { return total; }
    size_t size() const { return entries.size(); }

private:
    struct Entry {
        std::string address;
        QImage image;
    };
    static size_t costOf(const QImage& image) { return static_cast<size_t>(image.sizeInBytes()); }

    size_t bound;
    size_t total = 0;
    std::list<Entry> entries; // the one used last first
    std::unordered_map<std::string, std::list<Entry>::iterator> index;
};

} // namespace pelimo::pictures
