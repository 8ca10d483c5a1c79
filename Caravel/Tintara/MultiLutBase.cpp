#include "Caravel/Tintara/MultiLutBase.h"

namespace tintara {

void CMultiLutBase::Process(const std::uint16_t*, std::uint16_t*, std::size_t) {}

} // namespace tintara
