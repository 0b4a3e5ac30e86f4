// Configuration file loading: the bytes of a file, read through a descriptor as the programs do
// and decoded from memory. A loaded configuration must save and load again to itself.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "config/ConfigFile.h"
#include "fuzz/FuzzCheck.h"

using namespace jvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    UnitConfig fromMemory;
    const bool decoded = DecodeConfigFile(fromMemory, data, size);

    static const int fd = ::memfd_create("fuzz.jvo.cfg", MFD_CLOEXEC);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(::ftruncate(fd, 0) == 0);
    FUZZ_CHECK(::pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));
    FUZZ_CHECK(::lseek(fd, 0, SEEK_SET) == 0);
    UnitConfig fromFile;
    const bool loaded = LoadConfigFile(fromFile, fd);
    FUZZ_CHECK(loaded == decoded);
    if (!decoded) return 0;
    // Compared by their encodings: a scale factor may be NaN, which never equals itself.
    std::vector<uint8_t> image;
    FUZZ_CHECK(EncodeConfigFile(fromMemory, image));
    std::vector<uint8_t> fileImage;
    FUZZ_CHECK(EncodeConfigFile(fromFile, fileImage));
    FUZZ_CHECK(fileImage == image);
    UnitConfig again;
    FUZZ_CHECK(DecodeConfigFile(again, image.data(), image.size()));
    std::vector<uint8_t> image2;
    FUZZ_CHECK(EncodeConfigFile(again, image2));
    FUZZ_CHECK(image == image2);
    return 0;
}
