#pragma once

#include "exchange/ZRRavelongXMLParserDelegateV3.h"

namespace ravelong {

// Reads a backup of the second generation: as the current one, except that a timing carries the
// end of its last day ("maxDate", seconds since 1970; missing means 4000-01-01) instead of the
// day cut-off, and a fixed offset from GMT in seconds ("timezone") instead of a zone name.
class ZRRavelongXMLParserDelegateV2 final : public ZRRavelongXMLParserDelegateV3 {
public:
    using ZRRavelongXMLParserDelegateV3::ZRRavelongXMLParserDelegateV3;

protected:
    Result<bool> timingField(std::string_view name, std::string_view text) override;
    ZRCDTiming* createTiming(ZRCDTask* task) override;
};

}  // namespace ravelong
