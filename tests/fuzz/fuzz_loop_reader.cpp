// libFuzzer target for the loop file reader: any bytes must parse without a
// crash, an out-of-bounds index or undefined behaviour, and what was read
// must write back as a well-formed file that reads the same.

#include "loops/LoopFile.h"
#include "loops/PresetList.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const zumbal::LoopRecord loop = zumbal::parseLoop(text);
    (void)zumbal::hasLoopFileTag(zumbal::firstLine(text));

    const std::string written = zumbal::writeLoop("fuzz", loop);
    const zumbal::LoopRecord again = zumbal::parseLoop(written);
    if (again.pp != loop.pp || again.edfiv != loop.edfiv || again.tempo != loop.tempo)
        std::abort();
    if (loop.layout == zumbal::LoopLayout::Current && again.volum != loop.volum)
        std::abort();
    return 0;
}
