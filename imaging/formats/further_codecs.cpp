// The further save formats and the read-only formats of the open list, in the order
// sniffing tries them: formats with a magic number first, then those recognised only by a
// plausible header (PICT, MacPaint, TGA, CUT), so that a guess never shadows a format that
// can be sure.
#include "codecs/registry.h"
#include "formats/cals_codec.h"
#include "formats/clp_codec.h"
#include "formats/cut_codec.h"
#include "formats/eps_codec.h"
#include "formats/gem_codec.h"
#include "formats/ico_codec.h"
#include "formats/iff_codec.h"
#include "formats/macpaint_codec.h"
#include "formats/mspaint_codec.h"
#include "formats/pcx_codec.h"
#include "formats/pict_codec.h"
#include "formats/pnm_codec.h"
#include "formats/psd_codec.h"
#include "formats/sun_codec.h"
#include "formats/tga_codec.h"
#include "formats/wmf_codec.h"
#include "formats/wpg_codec.h"
#include "formats/xbm_codec.h"
#include "formats/xpm_codec.h"
#include "formats/xwd_codec.h"

namespace imaging {

std::vector<std::unique_ptr<Codec>> furtherCodecs() {
    std::vector<std::unique_ptr<Codec>> list;
    list.push_back(std::make_unique<PsdCodec>());
    list.push_back(std::make_unique<SunCodec>());
    list.push_back(std::make_unique<WpgCodec>());
    list.push_back(std::make_unique<EpsCodec>());
    list.push_back(std::make_unique<MsPaintCodec>());
    list.push_back(std::make_unique<WmfCodec>());
    list.push_back(std::make_unique<IffCodec>());
    list.push_back(std::make_unique<XwdCodec>());
    list.push_back(std::make_unique<ClpCodec>());
    list.push_back(std::make_unique<IcoCodec>());
    list.push_back(std::make_unique<PnmCodec>());
    list.push_back(std::make_unique<XpmCodec>());
    list.push_back(std::make_unique<XbmCodec>());
    list.push_back(std::make_unique<CalsCodec>());
    list.push_back(std::make_unique<PcxCodec>());
    list.push_back(std::make_unique<GemCodec>());
    list.push_back(std::make_unique<PictCodec>());
    list.push_back(std::make_unique<MacPaintCodec>());
    list.push_back(std::make_unique<TgaCodec>());
    list.push_back(std::make_unique<CutCodec>());
    return list;
}

}  // namespace imaging
