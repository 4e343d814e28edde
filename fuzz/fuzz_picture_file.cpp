// A file in the picture cache's folder under a picture's name, whatever it holds: reading it
// never fails hard, and what it gives is exactly the picture a store of ours would have put
// there; anything else is removed and reads as nothing.
#include "FuzzSupport.h"
#include "pictures/PictureAddress.h"
#include "pictures/PictureDiskCache.h"
#include "pictures/PictureFile.h"
#include "platform/CacheFiles.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace pelimo;
    const std::string& folder = fuzz::workFolder("picture_file");
    fuzz::removeFilesIn(folder);
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // The address the seeds were written for; other inputs name another one, or none.
    const std::string address = "http://127.0.0.1:8931/img/1000001.jpg";
    const std::string path = platform::joinPath(folder, pictures::pictureFileName(address));
    if (!platform::replaceFileUnsynced(path, bytes))
        return 0;

    pictures::PictureDiskCache cache(folder);
    const std::optional<std::string> read = cache.read(address);
    const std::optional<pictures::PictureFileContent> content = pictures::readPictureFile(bytes);
    if (read) {
        PELIMO_FUZZ_REQUIRE(content && content->address == address);
        PELIMO_FUZZ_REQUIRE(pictures::pictureFileBytes(address, *read) == bytes);
    } else if (content && content->address == address) {
        PELIMO_FUZZ_REQUIRE(false);
    } else if (!content) {
        PELIMO_FUZZ_REQUIRE(platform::fileKind(path) == platform::FileKind::missing);
    }
    return 0;
}
