// SharedText.cpp
#include <deque>
#include <string_view>
#include <unordered_map>

#include "SharedText.h"

namespace {

// The texts by number, number 0 the empty text; a deque never moves what it holds, so
// the keys of the numbers stay valid.
struct TextPool {
    std::deque<std::string> Texts{std::string()};
    std::unordered_map<std::string_view, uint32_t> Ids;
};

TextPool& kxl_getTextPool()
{
    static TextPool sPool;
    return sPool;
}

} // namespace

SharedText::SharedText(const std::string& iText)
{
    if (iText.empty()) {
        return;
    }
    TextPool& aPool = kxl_getTextPool();
    auto aFound = aPool.Ids.find(iText);
    if (aFound != aPool.Ids.end()) {
        mId = aFound->second;
        return;
    }
    mId = static_cast<uint32_t>(aPool.Texts.size());
    aPool.Texts.push_back(iText);
    aPool.Ids.emplace(aPool.Texts.back(), mId);
}

const std::string& SharedText::str() const
{
    return kxl_getTextPool().Texts[mId];
}
