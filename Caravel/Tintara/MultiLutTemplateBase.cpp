#include "Caravel/Tintara/MultiLutTemplateBase.h"

namespace tintara {

long CMultiLutTemplateBase::Build(NodeEvaluator evaluator, const void* context)
{
    if (long rc = positionMap.Resize(2 * 65536); rc != kOk)
        return rc;
    for (std::uint32_t v = 0; v < 65536; ++v) {
        const double x = double(v) * double(G - 1) / 65535.0;
        const auto index = std::uint16_t(x);
        positionMap[2 * v] = index;
        positionMap[2 * v + 1] = std::uint16_t((x - index) * 32768);
    }
    return CMultiLutWorkBase::Build(evaluator, context);
}

} // namespace tintara
