// The further save formats and the read-only formats of the open list, in the order
// sniffing tries them: formats with a magic number first, then those recognised only by a
// plausible header (TGA, CUT), so that a guess never shadows a format that can be sure.
#include "codecs/registry.h"
#include "formats/pcx_codec.h"
#include "formats/tga_codec.h"

namespace imaging {

std::vector<std::unique_ptr<Codec>> furtherCodecs() {
    std::vector<std::unique_ptr<Codec>> list;
    list.push_back(std::make_unique<PcxCodec>());
    list.push_back(std::make_unique<TgaCodec>());
    return list;
}

}  // namespace imaging
