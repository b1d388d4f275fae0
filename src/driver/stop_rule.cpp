#include "driver/stop_rule.h"

namespace veltaro {

const char* stop_rule_name(stop_rule rule) {
    switch (rule) {
        case stop_rule::steady: return "steady";
        case stop_rule::limit: return "limit";
        case stop_rule::quiet: break;
    }
    return "quiet";
}

}  // namespace veltaro
