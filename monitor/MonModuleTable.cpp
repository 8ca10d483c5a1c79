#include "monitor/MonModuleTable.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Reads the next text; false when the table has none (the table ends there).
bool Next(const MonStringTable& strings, uint32_t* id, std::string* out)
{
    const auto it = strings.find(*id);
    if (it == strings.end())
        return false;
    *out = it->second;
    ++*id;
    return true;
}

int ClampedCount(const std::string& text, int limit)
{
    return std::clamp(std::atoi(text.c_str()), 0, limit);
}

}  // namespace

void MonModuleTable::Read(const MonStringTable& strings)
{
    classes_.clear();
    const int count = ClampedCount(LoadMonString(strings, MonStringId::ClassCount), kMaxClasses);
    uint32_t id = MonStringId::FirstClassRow;
    for (int k = 0; k < count; ++k) {
        MonModuleInfo info;
        std::string models, exact;
        if (!Next(strings, &id, &info.className) || !Next(strings, &id, &info.moduleFile) ||
            !Next(strings, &id, &info.hardwarePrefix) || !Next(strings, &id, &models) || !Next(strings, &id, &exact))
            return;
        info.exactLength = std::atoi(exact.c_str()) != 0;
        const int modelCount = ClampedCount(models, kMaxModels);
        for (int m = 0; m < modelCount; ++m) {
            MonModuleSubInfo row;
            if (!Next(strings, &id, &row.m_nIndex) || !Next(strings, &id, &row.m_strHardWare) ||
                !Next(strings, &id, &row.m_strCapability))
                return;
            info.models.push_back(std::move(row));
        }
        classes_.push_back(std::move(info));
    }
}
