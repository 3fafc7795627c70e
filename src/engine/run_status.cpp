#include "engine/run_status.h"

#include <array>

namespace pellandrix {

std::string_view RunStatusText(int status) {
    static constexpr std::array<std::string_view, 7> kTexts{
        "deaktiviert", "aktiviert", "wartet", "in Arbeit", "fertig", "Fehler", "unverändert"};
    if (status < 0 || status >= static_cast<int>(kTexts.size())) {
        return {};
    }
    return kTexts[static_cast<std::size_t>(status)];
}

}  // namespace pellandrix
