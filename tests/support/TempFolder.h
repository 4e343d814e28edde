#pragma once

#include <string>

namespace pelimo::test {

// A fresh folder under /tmp, removed with everything in it when the object goes, even where a
// test took the write permission away.
class TempFolder {
public:
    explicit TempFolder(const char* prefix = "pelimo-test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Empty when the folder could not be made.
    const std::string& path() const { return dir; }
    // A path inside the folder.
    std::string file(const std::string& name) const { return dir + "/" + name; }

private:
    std::string dir;
};

} // namespace pelimo::test
